#include "rwx/words.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace rwx {
namespace {

template <typename Unit>
inline unsigned unit(Unit c)
{
    return static_cast<std::make_unsigned_t<Unit>>(c);
}

template <typename Unit>
inline bool isDigit(Unit c)
{
    return unit(c) - '0' < 10u;
}

template <typename Unit>
bool equalsLowerT(const Unit *p, qsizetype n, const char *lower)
{
    qsizetype i = 0;
    for (; i < n && lower[i]; ++i) {
        const unsigned u = unit(p[i]);
        if ((u - 'A' < 26u ? u + 32 : u) != static_cast<unsigned char>(lower[i]))
            return false;
    }
    return i == n && lower[i] == 0;
}

// The grammar of a number, in one place: an optional sign, digits with at
// most one point among them (at least one digit), then an optional exponent
// with at least one digit. Hands put() the characters that make its value
// (the sign only when it is '-'); true when the whole word is a number.
template <typename Unit, typename Put>
bool scanNumber(const Unit *p, qsizetype n, Put &&put)
{
    qsizetype i = 0;
    if (i < n && (p[i] == Unit('+') || p[i] == Unit('-'))) {
        if (p[i] == Unit('-'))
            put('-');
        ++i;
    }
    qsizetype digits = 0;
    for (; i < n && isDigit(p[i]); ++i, ++digits)
        put(char(p[i]));
    if (i < n && p[i] == Unit('.')) {
        put('.');
        for (++i; i < n && isDigit(p[i]); ++i, ++digits)
            put(char(p[i]));
    }
    if (digits == 0)
        return false;
    if (i < n && (p[i] == Unit('e') || p[i] == Unit('E'))) {
        put('e');
        ++i;
        if (i < n && (p[i] == Unit('+') || p[i] == Unit('-')))
            put(char(p[i++]));
        qsizetype exponent = 0;
        for (; i < n && isDigit(p[i]); ++i, ++exponent)
            put(char(p[i]));
        if (exponent == 0)
            return false;
    }
    return i == n;
}

template <typename Unit>
bool isNumberT(const Unit *p, qsizetype n)
{
    return scanNumber(p, n, [](char) {});
}

constexpr qsizetype kLongestNumber = 128;

} // namespace

bool equalsLower(QStringView w, const char *lower) { return equalsLowerT(w.utf16(), w.size(), lower); }
bool equalsLower(QByteArrayView w, const char *lower) { return equalsLowerT(w.data(), w.size(), lower); }
bool isNumber(QStringView w) { return isNumberT(w.utf16(), w.size()); }
bool isNumber(QByteArrayView w) { return isNumberT(w.data(), w.size()); }

bool parseNumber(QStringView word, float &value)
{
    const qsizetype n = word.size();
    if (n == 0 || n > kLongestNumber)
        return false;
    char buf[kLongestNumber + 1];
    qsizetype k = 0;
    if (!scanNumber(word.utf16(), n, [&](char c) { buf[k++] = c; }))
        return false;
    double d = 0;
    const auto result = std::from_chars(buf, buf + k, d);
    if (result.ec != std::errc() || result.ptr != buf + k)
        return false;
    const float f = float(d);
    if (!std::isfinite(f))
        return false;
    value = f;
    return true;
}

bool parseWhole(QStringView word, qint64 &value)
{
    const char16_t *p = word.utf16();
    const qsizetype n = word.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (p[i] == u'+' || p[i] == u'-'))
        negative = p[i++] == u'-';
    qint64 v = 0;
    qsizetype digits = 0;
    for (; i < n && isDigit(p[i]); ++i, ++digits)
        v = std::min<qint64>(v * 10 + (p[i] - u'0'), HugeWhole);
    if (digits == 0)
        return false;
    if (i < n && p[i] == u'.') {
        for (++i; i < n; ++i) {
            if (p[i] != u'0')
                return false;
        }
    }
    if (i != n)
        return false;
    value = negative ? -v : v;
    return true;
}

} // namespace rwx
