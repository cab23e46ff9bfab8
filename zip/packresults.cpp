// Plain-words reasons for the packing's result codes.
#include "zip/vbzipbas.h"

#include "zip/packinternals.h"
#include "zip32/writeprotection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace VBZipBas {

using namespace detail;

QString describeResult(qint32 code)
{
    switch (code) {
    case ZE_OK:
        return QStringLiteral("the archive was written");
    case ResultNoLibrary:
        return QStringLiteral("no usable zip library was found");
    case ResultAlreadyRunning:
        return QStringLiteral("another archive is still being written");
    case ZE_FORM:
        return QStringLiteral("the archive path holds a file that is not a zip archive");
    case ZE_MEM:
        return QStringLiteral("there was not enough memory");
    case ZE_LOGIC:
        return QStringLiteral("the zip library failed unexpectedly");
    case ZE_ABORT:
        return QStringLiteral("the packing was cancelled");
    case ZE_READ:
        return QStringLiteral("a file could not be read");
    case ZE_NONE:
        return QStringLiteral("there was nothing to pack");
    case ZE_WRITE:
        return QStringLiteral("the archive could not be written");
    case ZE_CREAT:
        return QStringLiteral("the archive could not be created in its folder");
    case ZE_PARMS:
        return QStringLiteral("the zip library refused the settings or a file name");
    case ZE_OPEN:
        return QStringLiteral("a file to pack could not be found or opened");
    case ZE_CRYPT:
        return QStringLiteral("encryption is not available");
    case ZE_CHANGED:
        return QStringLiteral("another program changed the archive while it was being packed; it was left as that "
                              "program made it");
    default:
        return QStringLiteral("the zip library reported error %1").arg(code);
    }
}

namespace {

bool writeProtected(const QFileInfo &info)
{
    return zip32::writeProtected(QFile::encodeName(info.filePath()).constData());
}

// Whether the file holds a zip archive after other data (a stub, as a
// self-extracting archive has): its end record, but not at its start.
bool archiveAfterOtherData(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(4);
    if (start == QByteArrayLiteral("PK\3\4") || start == QByteArrayLiteral("PK\5\6"))
        return false;
    // The end record lies within the last 64 KB (and 22 bytes) of an archive.
    const qint64 tail = std::min<qint64>(file.size(), 0x10000 + 22);
    return file.seek(file.size() - tail) && file.read(tail).contains(QByteArrayLiteral("PK\5\6"));
}

} // namespace

QString detail::describePacking(qint32 code, const QString &archive, const QString &packedFile, int systemError)
{
    const QFileInfo target(archive);
    const QFileInfo folder(target.absolutePath());
    if (code != ZE_OK && target.isFile() && QFileInfo(packedFile).isFile()
        && target.canonicalFilePath() == QFileInfo(packedFile).canonicalFilePath())
        return QStringLiteral("the archive would be the script itself: both have the same name in the "
                              "same folder, and the script is not replaced by its own archive");
    switch (code) {
    case ZE_CREAT:
        if (target.isDir())
            return QStringLiteral("a folder has the archive's name");
        if (target.exists() && writeProtected(target))
            return QStringLiteral("the archive is read-only");
        if (!folder.exists())
            return QStringLiteral("its folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath()));
        if (!folder.isDir())
            return QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath()));
        if (writeProtected(folder))
            return QStringLiteral("its folder %1 is read-only").arg(QDir::toNativeSeparators(folder.filePath()));
        break;
    case ZE_FORM:
        if (archiveAfterOtherData(archive))
            return QStringLiteral("the file there holds other data before its zip archive, which "
                                  "rewriting it would lose; it was left as it was");
        break;
    default:
        break;
    }
    if (systemError != 0)
        return describeResult(code) + QStringLiteral(": ") + qt_error_string(systemError);
    return describeResult(code);
}

} // namespace VBZipBas
