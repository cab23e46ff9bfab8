// The callbacks the library calls.
#include "zip/vbzipbas.h"

#include "zip/packinternals.h"

#include <algorithm>
#include <cstring>

namespace VBZipBas {

using namespace detail;

namespace {

// The longest leading part of s whose UTF-8 form fits in limit bytes,
// cut between characters.
QByteArray fitUtf8(const QString &s, qsizetype limit)
{
    QByteArray all = s.toUtf8();
    if (all.size() <= limit)
        return all;
    auto prefix = [&s](qsizetype k) {
        if (k > 0 && k < s.size() && s.at(k - 1).isHighSurrogate())
            --k;
        return s.left(k).toUtf8();
    };
    qsizetype lo = 0, hi = std::min<qsizetype>(s.size(), limit);
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (prefix(mid).size() <= limit)
            lo = mid;
        else
            hi = mid - 1;
    }
    return prefix(lo);
}

void wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty()) {
        volatile char *p = bytes.data();
        for (qsizetype i = 0; i < bytes.size(); ++i)
            p[i] = 0;
    }
}

} // namespace

int32_t OnZipPrint(const char *, int32_t)
{
    return 0;
}

int32_t OnZipComment(char *comment)
{
    if (!comment)
        return 1;
    const std::optional<QString> entry = ask(QStringLiteral("Enter the comment"));
    if (!entry || entry->isEmpty())
        return 1;
    const QByteArray bytes = fitUtf8(*entry, ZP_COMMENT_BUFFER_SIZE - 1);
    std::memcpy(comment, bytes.constData(), static_cast<size_t>(bytes.size()));
    comment[bytes.size()] = '\0';
    return 1;
}

int32_t OnZipPassword(char *password, int32_t size, const char *, const char *)
{
    if (!password || size < 2)
        return 1; // no room for a character and the zero
    // No callback buffer is taken to be longer than the comment buffer.
    const qsizetype n = std::min<qsizetype>(size, ZP_COMMENT_BUFFER_SIZE);
    std::optional<QString> entry = ask(QStringLiteral("Please Enter The Password!"));
    if (!entry || entry->isEmpty())
        return 1;
    QByteArray bytes = entry->toUtf8();
    entry->fill(QChar(0));
    // A cut password would lock the archive with a password the user never
    // typed: refuse it instead.
    const bool fits = bytes.size() <= n - 1;
    if (fits) {
        std::memset(password, 0, static_cast<size_t>(n));
        std::memcpy(password, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    wipe(bytes);
    return fits ? 0 : 1;
}

int32_t OnZipService(const char *, int32_t)
{
    return 0;
}

} // namespace VBZipBas
