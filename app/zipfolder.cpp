#include "app/zipfolder.h"

#include <QDir>
#include <QFileInfo>

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
    // The system lets root write to any folder; one without a single write
    // permission bit is taken as meant to be read-only all the same.
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (!info.isWritable() || !(info.permissions() & anyWrite))
        return std::nullopt;
    return folder;
}
