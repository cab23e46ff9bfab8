// Fuzz target: the path split and the running number. For any path the
// pieces put together give the path back, the next name differs from the
// dropped one, and counting on from the next name gives the value after it,
// exactly, at any length.
#include "check.h"

#include <QString>

#include <algorithm>
#include <optional>

// ---- The project code this target calls: the one place to rename. ----
#include "app/currentfile.h"

namespace {

struct Split {
    QString folder, driveRoot, fileName, baseName, extension;
};

std::optional<Split> split(const QString &path, QChar separator)
{
    const std::optional<PathParts> p = splitPath(path, separator);
    if (!p)
        return std::nullopt;
    return Split{p->folder, p->driveRoot, p->fileName, p->baseName, p->extension};
}

struct Numbered {
    QString prefix, number;
};

std::optional<Numbered> splitNumber(QStringView baseName)
{
    const std::optional<RunningNumber> r = splitRunningNumber(baseName);
    if (!r)
        return std::nullopt;
    return Numbered{r->prefix, r->number};
}

QString next(QStringView number)
{
    return nextNumber(number);
}
// ---- end of project calls ----

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(QStringView s)
{
    return std::all_of(s.begin(), s.end(), isDigit);
}

// The decimal value of digits written without leading zeros ("" and "000" are "0").
QString canonical(QStringView digits)
{
    qsizetype zeros = 0;
    while (zeros < digits.size() && digits[zeros] == u'0')
        ++zeros;
    return zeros == digits.size() ? QStringLiteral("0") : digits.mid(zeros).toString();
}

// One less than a positive decimal number, by borrowing (the reverse of what
// counting on does), without leading zeros.
QString minusOne(QString digits)
{
    qsizetype i = digits.size();
    while (i > 0 && digits[i - 1] == u'0')
        digits[--i] = u'9';
    FUZZ_CHECK(i > 0, "a next number is at least 1");
    digits[i - 1] = QChar(digits[i - 1].unicode() - 1);
    return canonical(digits);
}

// Checks a next number against the number it counts on from.
void checkNext(QStringView number, const QString &result)
{
    FUZZ_CHECK(!result.isEmpty() && allDigits(result), "the next number is digits");
    FUZZ_CHECK(result.size() == 1 || result[0] != u'0', "the next number has no leading zeros");
    const QString from = allDigits(number) ? canonical(number) : QStringLiteral("0");
    FUZZ_CHECK(minusOne(result) == from, "the next number is one more");
    if (from.size() <= 18)
        FUZZ_CHECK(result == QString::number(from.toULongLong() + 1), "the next number agrees with integer arithmetic");
}

} // namespace

ORVANE_FUZZ_TARGET
{
    if (size == 0)
        return 0;
    const QChar separator = (data[0] & 1) ? u'\\' : u'/';
    const QString path = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    // Any text counts on to a number, never to an empty or odd one.
    checkNext(path, next(path));

    const qsizetype lastSep = path.lastIndexOf(separator);
    const QString fileName = path.mid(lastSep + 1);
    const std::optional<Split> parts = split(path, separator);
    FUZZ_CHECK(parts.has_value() == fileName.contains(u'.'), "a path splits exactly when its file name has a dot");
    if (!parts)
        return 0;
    FUZZ_CHECK(parts->folder + parts->fileName == path, "folder and file name make the path");
    FUZZ_CHECK(parts->fileName == fileName, "the file name follows the last separator");
    FUZZ_CHECK(parts->folder.isEmpty() || parts->folder.endsWith(separator), "the folder ends at a separator");
    FUZZ_CHECK(path.startsWith(parts->driveRoot)
                   && parts->driveRoot.count(separator) == (lastSep < 0 ? 0 : 1)
                   && (parts->driveRoot.isEmpty() || parts->driveRoot.endsWith(separator)),
               "the drive root runs up to the first separator");
    FUZZ_CHECK(parts->baseName + parts->extension == parts->fileName, "base name and extension make the file name");
    FUZZ_CHECK(parts->extension.startsWith(u'.') && parts->extension.count(u'.') == 1,
               "the extension runs from the last dot");

    const std::optional<Numbered> numbered = splitNumber(parts->baseName);
    FUZZ_CHECK(numbered.has_value() == !parts->baseName.isEmpty(), "every non-empty base name has a number");
    if (!numbered)
        return 0;
    const bool endsInDigit = isDigit(parts->baseName.back());
    FUZZ_CHECK(numbered->prefix + (endsInDigit ? numbered->number : QString()) == parts->baseName,
               "prefix and number make the base name");
    FUZZ_CHECK(endsInDigit || numbered->number == QStringLiteral("0"), "a base name without digits counts from 0");
    FUZZ_CHECK(!numbered->number.isEmpty() && allDigits(numbered->number), "the number is digits");
    FUZZ_CHECK(numbered->prefix.isEmpty() || !isDigit(numbered->prefix.back()), "the number takes every trailing digit");

    // Save Next twice: each name differs from the one before, and each is
    // read back as the number it was saved under.
    QString previousName = path;
    QString number = numbered->number;
    for (int click = 0; click < 2; ++click) {
        const QString following = next(number);
        checkNext(number, following);
        const QString name = parts->folder + numbered->prefix + following + parts->extension;
        FUZZ_CHECK(name != previousName, "the next name differs from the one before");
        const std::optional<Split> again = split(name, separator);
        FUZZ_CHECK(again && again->folder == parts->folder && again->extension == parts->extension,
                   "the next name keeps folder and extension");
        const std::optional<Numbered> reread = splitNumber(again->baseName);
        FUZZ_CHECK(reread && reread->prefix == numbered->prefix && reread->number == following,
                   "the next name reads back as prefix and next number");
        previousName = name;
        number = following;
    }
    return 0;
}
