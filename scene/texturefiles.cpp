#include "scene/texturefiles.h"

#include <zip.h>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rwx {

namespace {

struct ZipCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

QString tooLarge(qint64 maxBytes)
{
    return QStringLiteral("larger than %1 MB").arg(maxBytes / (1024 * 1024));
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool isRegularFile(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

bool openRegularFile(const QString &path, qint64 maxBytes, QFile &file, QString *error)
{
    // O_NONBLOCK: opening a FIFO without a writer, or some devices, would
    // otherwise wait for ever. What is opened is then checked on the
    // descriptor itself, so nothing can be swapped in between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(error, qt_error_string(errno));
    struct stat status {};
    QString reason;
    if (::fstat(fd, &status) != 0)
        reason = qt_error_string(errno);
    else if (!S_ISREG(status.st_mode))
        reason = QStringLiteral("not a file");
    else if (status.st_size > maxBytes)
        reason = tooLarge(maxBytes);
    else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        reason = qt_error_string(errno);
    else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        reason = file.errorString();
    else
        return true;
    ::close(fd);
    return fail(error, reason);
}

bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    QFile file;
    if (!openRegularFile(path, maxBytes, file, error))
        return false;
    // One byte more than allowed tells a file that grew since it was opened.
    QByteArray read = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(error, file.errorString());
    if (read.size() > maxBytes)
        return fail(error, tooLarge(maxBytes));
    *bytes = std::move(read);
    return true;
}

bool readZipEntry(const QByteArray &archive, const QString &entryName, qint64 maxBytes, QByteArray *bytes,
                  QString *error)
{
    const QString notAnArchive = QStringLiteral("not a zip archive");
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source = zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &zipError);
    zip_error_fini(&zipError);
    if (!source)
        return fail(error, notAnArchive);
    zip_error_init(&zipError);
    std::unique_ptr<zip_t, ZipCloser> zip(zip_open_from_source(source, ZIP_RDONLY, &zipError));
    zip_error_fini(&zipError);
    if (!zip) {
        zip_source_free(source);
        return fail(error, notAnArchive);
    }
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    const QString extension = entryName.mid(entryName.lastIndexOf(u'.')).toLower();
    zip_int64_t chosen = -1;
    int sameExtension = 0;
    zip_int64_t onlyOne = -1;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(zip.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        const QString bare = name.mid(name.lastIndexOf(u'/') + 1);
        if (bare.compare(entryName, Qt::CaseInsensitive) == 0) {
            chosen = i;
            break;
        }
        if (bare.toLower().endsWith(extension)) {
            ++sameExtension;
            onlyOne = i;
        }
    }
    if (chosen < 0 && sameExtension == 1)
        chosen = onlyOne;
    if (chosen < 0)
        return fail(error, QStringLiteral("no %1 in the archive").arg(entryName));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip.get(), zip_uint64_t(chosen), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return fail(error, notAnArchive);
    if (stat.size > zip_uint64_t(maxBytes))
        return fail(error, tooLarge(maxBytes));
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(zip.get(), zip_uint64_t(chosen), 0));
    if (!file)
        return fail(error, QStringLiteral("a damaged zip archive"));
    QByteArray read(qsizetype(stat.size), Qt::Uninitialized);
    if (zip_fread(file.get(), read.data(), stat.size) != zip_int64_t(stat.size))
        return fail(error, QStringLiteral("a damaged zip archive"));
    *bytes = std::move(read);
    return true;
}

} // namespace rwx
