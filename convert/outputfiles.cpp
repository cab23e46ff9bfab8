#include "convert/outputfiles.h"

#include "zip32/writeprotection.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace convert {

namespace {

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId &) const = default;
};

std::optional<FileId> idOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileId{status.st_dev, status.st_ino};
}

bool fail(QString *error, const QString &reason)
{
    *error = reason;
    return false;
}

} // namespace

bool writeOutputs(const QString &folder, const QList<OutputFile> &files, const QStringList &inputs, QString *error)
{
    const QDir dir(folder);
    std::error_code made;
    if (!dir.exists() && !std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), made) && made)
        return fail(error, QStringLiteral("cannot make the folder %1: %2")
                               .arg(QDir::toNativeSeparators(folder), QString::fromLocal8Bit(made.message())));
    std::vector<std::optional<FileId>> inputIds;
    for (const QString &input : inputs)
        inputIds.push_back(idOf(input));
    for (const OutputFile &file : files) {
        const std::optional<FileId> id = idOf(dir.filePath(file.name));
        for (const std::optional<FileId> &input : inputIds) {
            if (id && input && *id == *input)
                return fail(error, QStringLiteral("%1 would replace a file it is made from")
                                       .arg(QDir::toNativeSeparators(dir.filePath(file.name))));
        }
    }
    // The rule the window keeps for archives: a folder or a file whose every
    // write permission is off is meant to stay as it is, even for root, whom
    // the system lets write anything.
    if (zip32::writeProtected(QFile::encodeName(folder).constData()))
        return fail(error, QStringLiteral("cannot write %1: its folder is read-only")
                               .arg(QDir::toNativeSeparators(dir.filePath(files.value(0).name))));
    for (const OutputFile &file : files) {
        const QString path = dir.filePath(file.name);
        if (zip32::writeProtected(QFile::encodeName(path).constData()))
            return fail(error, QStringLiteral("cannot write %1: it is read-only").arg(QDir::toNativeSeparators(path)));
    }
    // Until committed, a QSaveFile removes its temporary file when it goes.
    // Its write goes on after a short write of the system until all is
    // written or there is an error.
    std::vector<std::unique_ptr<QSaveFile>> saving;
    for (const OutputFile &file : files) {
        const QString path = dir.filePath(file.name);
        auto save = std::make_unique<QSaveFile>(path);
        if (!save->open(QIODevice::WriteOnly) || save->write(file.bytes) != file.bytes.size() || !save->flush())
            return fail(error, QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), save->errorString()));
        saving.push_back(std::move(save));
    }
    for (const std::unique_ptr<QSaveFile> &save : saving) {
        if (!save->commit())
            return fail(error, QStringLiteral("cannot write %1: %2")
                                   .arg(QDir::toNativeSeparators(save->fileName()), save->errorString()));
    }
    return true;
}

QString companionStem(const QString &objectName)
{
    QString stem = objectName;
    for (QChar &c : stem) {
        const char16_t u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.'
                        || u == '-' || u == '_';
        if (!plain)
            c = u'_';
    }
    return stem.isEmpty() ? QStringLiteral("object") : stem;
}

} // namespace convert
