#include "preview/picturefile.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace preview {

QString pictureNameFor(const QString &scriptPath, const QString &fallbackFolder)
{
    if (scriptPath.isEmpty())
        return QDir(fallbackFolder).filePath(QStringLiteral("preview.png"));
    const QFileInfo script(scriptPath);
    QString name = script.fileName();
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    return script.dir().filePath(name + QStringLiteral(".png"));
}

bool writePicture(const QImage &image, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        // A failed write of the file itself says more than the writer.
        *error = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace preview
