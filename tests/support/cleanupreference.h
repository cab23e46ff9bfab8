#pragma once
// The clean-up transformations written the slow, literal way: repeated
// replace-all passes and a comment scan that removes each comment from the
// text as it goes. The library's one-pass versions must agree with these on
// every input; the tests and the benchmark compare against them.
#include <QString>

namespace reference {

// One left-to-right pass replacing every non-overlapping occurrence.
inline QString replaceAll(const QString &text, const QString &what, const QString &with)
{
    QString result;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(what, from);
        if (at < 0)
            break;
        result += QStringView(text).mid(from, at - from);
        result += with;
        from = at + what.size();
    }
    result += QStringView(text).mid(from);
    return result;
}

// Replace-all passes for as long as `what` is found.
inline QString replaceWhileFound(QString text, const QString &what, const QString &with)
{
    while (text.contains(what))
        text = replaceAll(text, what, with);
    return text;
}

inline QString deleteSpacers(QString text)
{
    text = replaceWhileFound(text, QStringLiteral("  "), QStringLiteral(" "));
    if (text.startsWith(QLatin1Char(' ')))
        text.remove(0, 1);
    text = replaceWhileFound(text, QStringLiteral("\r\n "), QStringLiteral("\r\n"));
    return replaceWhileFound(text, QStringLiteral(" \r\n"), QStringLiteral("\r\n"));
}

inline QString deleteEmptyStrings(QString text)
{
    text = replaceWhileFound(text, QStringLiteral("\r\n\r\n"), QStringLiteral("\r\n"));
    if (text.startsWith(QLatin1String("\r\n")))
        text.remove(0, 2);
    return text;
}

inline QString deleteComments(QString text)
{
    qsizetype scan = 0;
    for (;;) {
        const qsizetype hash = text.indexOf(QLatin1Char('#'), scan);
        if (hash < 0)
            break;
        if (hash + 1 < text.size() && text.at(hash + 1) == QLatin1Char('!')) {
            scan = hash + 2;
            continue;
        }
        qsizetype lineEnd = text.indexOf(QLatin1String("\r\n"), hash);
        if (lineEnd < 0)
            lineEnd = text.size();
        text.remove(hash, lineEnd - hash);
        scan = hash;
    }
    return text;
}

} // namespace reference
