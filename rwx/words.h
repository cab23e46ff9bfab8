#pragma once
// Words of RWX text: letter case and the grammar of numbers. Each function
// works on UTF-16 text and on the editor's UTF-8 bytes alike.
#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

namespace rwx {

// Case-insensitive ASCII comparison with a lower-case literal.
bool equalsLower(QStringView word, const char *lower);
bool equalsLower(QByteArrayView word, const char *lower);

// A number: 1  1.  .5  -.1  +.3  1e-1
bool isNumber(QStringView word);
bool isNumber(QByteArrayView word);

// A number, read exactly; false for any other word and for a value that is
// not finite as a float.
bool parseNumber(QStringView word, float &value);

// A vertex number or count: an integer, also written "3." or "3.0".
// Saturates at +-HugeWhole, far beyond any real count, instead of overflowing.
inline constexpr qint64 HugeWhole = qint64(1) << 40;
bool parseWhole(QStringView word, qint64 &value);

} // namespace rwx
