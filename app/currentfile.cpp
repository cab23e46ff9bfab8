#include "app/currentfile.h"

namespace {
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
} // namespace

std::optional<PathParts> splitPath(const QString &path, QChar separator)
{
    PathParts parts;
    const qsizetype last = path.lastIndexOf(separator);
    const qsizetype first = path.indexOf(separator);
    parts.folder = last < 0 ? QString() : path.left(last + 1);
    parts.driveRoot = first < 0 ? QString() : path.left(first + 1);
    parts.fileName = last < 0 ? path : path.mid(last + 1);
    const qsizetype dot = parts.fileName.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    parts.baseName = parts.fileName.left(dot);
    parts.extension = parts.fileName.mid(dot);
    return parts;
}

std::optional<RunningNumber> splitRunningNumber(QStringView baseName)
{
    if (baseName.isEmpty())
        return std::nullopt;
    qsizetype digitsFrom = baseName.size();
    while (digitsFrom > 0 && isAsciiDigit(baseName[digitsFrom - 1]))
        --digitsFrom;
    RunningNumber split;
    split.prefix = baseName.left(digitsFrom).toString();
    split.number = baseName.mid(digitsFrom).toString();
    if (split.number.isEmpty())
        split.number = QStringLiteral("0");
    return split;
}

QString nextNumber(QStringView number)
{
    const bool allDigits = std::all_of(number.begin(), number.end(), isAsciiDigit);
    QString digits = allDigits ? number.toString() : QString();
    // Add one from the right, carrying through the nines.
    qsizetype i = digits.size();
    while (i > 0 && digits[i - 1] == u'9')
        digits[--i] = u'0';
    if (i == 0)
        digits.prepend(u'1');
    else
        digits[i - 1] = QChar(digits[i - 1].unicode() + 1);
    // Leading zeros go, as in any ordinary number.
    qsizetype zeros = 0;
    while (zeros < digits.size() - 1 && digits[zeros] == u'0')
        ++zeros;
    return digits.mid(zeros);
}
