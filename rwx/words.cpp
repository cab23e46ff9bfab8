#include "rwx/words.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// Integers up to 2^53 and powers of ten up to 10^22 are exact doubles.
constexpr std::uint64_t kExactDigits = std::uint64_t(1) << 53;
constexpr int kExactPowers = 22;
constexpr double kPowersOfTen[kExactPowers + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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
    // Alongside, the number as digits times a power of ten, while the digits
    // fit in a double exactly.
    std::uint64_t digits = 0;
    int scale = 0;    // digits after the point
    int exponent = 0; // after the 'e', without its sign
    bool inFraction = false, inExponent = false, exponentNegative = false, exact = true;
    const bool number = scanNumber(word.utf16(), n, [&](char c) {
        buf[k++] = c;
        if (c >= '0' && c <= '9') {
            if (inExponent) {
                exponent = std::min(exponent * 10 + (c - '0'), 10000);
            } else {
                exact = exact && digits <= kExactDigits / 10;
                digits = digits * 10 + std::uint64_t(c - '0');
                scale += inFraction;
            }
        } else if (c == '.') {
            inFraction = true;
        } else if (c == 'e') {
            inExponent = true;
        } else if (c == '-' && inExponent) {
            exponentNegative = true;
        }
    });
    if (!number)
        return false;
    double d = 0;
    const int power = (exponentNegative ? -exponent : exponent) - scale;
    if (exact && digits <= kExactDigits && power >= -kExactPowers && power <= kExactPowers) {
        // Both factors are exact doubles, so one multiplication or division
        // rounds correctly: the same value from_chars() gives.
        d = power >= 0 ? double(digits) * kPowersOfTen[power] : double(digits) / kPowersOfTen[-power];
        if (buf[0] == '-')
            d = -d;
    } else {
        const auto result = std::from_chars(buf, buf + k, d);
        if (result.ec != std::errc() || result.ptr != buf + k)
            return false;
    }
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
