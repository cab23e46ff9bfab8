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
    QString folder = withTrailingSeparator(entry, separator);
    if (QDir::isRelativePath(folder))
        folder = withTrailingSeparator(QDir::cleanPath(QDir::current().absoluteFilePath(folder)), separator);
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return std::nullopt;
    return folder;
}
