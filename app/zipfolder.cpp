#include "app/zipfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "zip32/writeprotection.h"

QString withTrailingSeparator(const QString &entry, QChar separator)
{
    return entry.endsWith(separator) ? entry : entry + separator;
}

std::optional<QString> usableZipFolder(const QString &entry)
{
    const QChar separator = QDir::separator();
    QString folder = entry;
    if (folder == QLatin1String("~") || folder.startsWith(QStringLiteral("~") + separator))
        folder.replace(0, 1, QDir::homePath());
    folder = withTrailingSeparator(folder, separator);
    if (QDir::isRelativePath(folder))
        folder = withTrailingSeparator(QDir::cleanPath(QDir::current().absoluteFilePath(folder)), separator);
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return std::nullopt;
    // The zip library's rule: a folder without a single write permission
    // bit is read-only, even for root, whom the system lets write anywhere.
    if (zip32::writeProtected(QFile::encodeName(folder).constData()))
        return std::nullopt;
    return folder;
}
