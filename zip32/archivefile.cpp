// The archive's file on disk, as libzip reads and writes it.
#include "zip32/archivefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zip32 {
namespace {

// The folder and the bare name of a path.
std::pair<std::string, std::string> split(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {path.substr(0, std::max<size_t>(slash, 1)), path.substr(slash + 1)};
}

// Whether `name` is `archiveName` with the six characters mkstemp() puts after it.
bool temporaryNameOf(const std::string &name, const std::string &archiveName)
{
    constexpr size_t kRandom = 6;
    if (name.size() != archiveName.size() + 1 + kRandom || name.compare(0, archiveName.size(), archiveName) != 0
        || name[archiveName.size()] != '.')
        return false;
    return std::all_of(name.end() - kRandom, name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// Whether the open file is what a write cut short leaves: nothing yet, or
// entries without the end record that closes every complete archive.
bool unfinishedArchive(int fd, off_t size)
{
    char start[4] = {};
    if (size == 0)
        return true;
    if (pread(fd, start, sizeof start, 0) != sizeof start || std::memcmp(start, "PK\3\4", 4) != 0)
        return false;
    // The end record lies within the last 64 KB (and 22 bytes) of an archive.
    const off_t tailSize = std::min<off_t>(size, 0x10000 + 22);
    std::vector<char> tail(size_t(tailSize), '\0');
    if (pread(fd, tail.data(), tail.size(), size - tailSize) != tailSize)
        return false;
    const char endRecord[] = {'P', 'K', 5, 6};
    return std::search(tail.begin(), tail.end(), std::begin(endRecord), std::end(endRecord)) == tail.end();
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

ArchiveFile::~ArchiveFile()
{
    rollbackWrite();
    if (m_fd >= 0)
        close(m_fd);
    zip_error_fini(&m_error);
}

bool ArchiveFile::open()
{
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return errno == ENOENT;
    if (fstat(m_fd, &m_status) != 0) {
        const int error = errno;
        close(m_fd);
        m_fd = -1;
        errno = error;
        return false;
    }
    return true;
}

zip_source_t *ArchiveFile::source(zip_error_t *error)
{
    zip_error_init(&m_error);
    return zip_source_function_create(&ArchiveFile::command, this, error);
}

zip_int64_t ArchiveFile::fail(int zipError, int systemError)
{
    zip_error_set(&m_error, zipError, systemError);
    return -1;
}

zip_int64_t ArchiveFile::command(void *state, void *data, zip_uint64_t length, zip_source_cmd_t cmd)
{
    auto *file = static_cast<ArchiveFile *>(state);
    switch (cmd) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, ZIP_SOURCE_BEGIN_WRITE,
            ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_COMMIT_WRITE,
            ZIP_SOURCE_ROLLBACK_WRITE, ZIP_SOURCE_REMOVE, ZIP_SOURCE_ACCEPT_EMPTY, -1);
    case ZIP_SOURCE_ACCEPT_EMPTY:
        return 0; // an empty file is no archive
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&file->m_error, data, length);
    case ZIP_SOURCE_STAT:
        return file->stat(data);
    case ZIP_SOURCE_OPEN:
        if (!file->exists())
            return file->fail(ZIP_ER_OPEN, ENOENT);
        file->m_readOffset = 0;
        return 0;
    case ZIP_SOURCE_READ:
        return file->read(data, length);
    case ZIP_SOURCE_SEEK:
        return file->seek(&file->m_readOffset, zip_uint64_t(file->m_status.st_size), data, length);
    case ZIP_SOURCE_TELL:
        return file->m_readOffset;
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE: // this object's owner frees it
        return 0;
    case ZIP_SOURCE_BEGIN_WRITE:
        return file->beginWrite();
    case ZIP_SOURCE_WRITE:
        return file->write(data, length);
    case ZIP_SOURCE_SEEK_WRITE: {
        const auto *args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &file->m_error);
        if (!args)
            return -1;
        if (lseek(file->m_tempFd, args->offset, args->whence) < 0)
            return file->fail(ZIP_ER_SEEK, errno);
        return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: {
        const off_t offset = lseek(file->m_tempFd, 0, SEEK_CUR);
        return offset < 0 ? file->fail(ZIP_ER_TELL, errno) : zip_int64_t(offset);
    }
    case ZIP_SOURCE_COMMIT_WRITE:
        return file->commitWrite();
    case ZIP_SOURCE_ROLLBACK_WRITE:
        file->rollbackWrite();
        return 0;
    case ZIP_SOURCE_REMOVE: // asked for an archive left without entries, which this library never makes
    default:
        return file->fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

zip_int64_t ArchiveFile::stat(void *data)
{
    if (!exists())
        return fail(ZIP_ER_READ, ENOENT); // libzip's sign of an archive yet to be made
    auto *st = static_cast<zip_stat_t *>(data);
    zip_stat_init(st);
    st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    st->size = zip_uint64_t(m_status.st_size);
    st->mtime = m_status.st_mtime;
    return sizeof(zip_stat_t);
}

zip_int64_t ArchiveFile::read(void *data, zip_uint64_t length)
{
    const ssize_t n = pread(m_fd, data, length, m_readOffset);
    if (n < 0)
        return fail(ZIP_ER_READ, errno);
    m_readOffset += n;
    return n;
}

zip_int64_t ArchiveFile::seek(zip_int64_t *position, zip_uint64_t size, void *data, zip_uint64_t length)
{
    const zip_int64_t to = zip_source_seek_compute_offset(zip_uint64_t(*position), size, data, length, &m_error);
    if (to < 0)
        return -1;
    *position = to;
    return 0;
}

// Removes the temporary files of this archive that an earlier packing, cut
// short, left behind: named as they are, holding an unfinished archive, and
// not locked by a packing still writing them.
void ArchiveFile::removeLeftovers() const
{
    const auto [folder, archiveName] = split(m_path);
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = readdir(dir)) {
        if (!temporaryNameOf(entry->d_name, archiveName))
            continue;
        const std::string path = folder + '/' + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened, named;
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0
            && unfinishedArchive(fd, opened.st_size) && lstat(path.c_str(), &named) == 0 && sameFile(opened, named))
            unlink(path.c_str());
        close(fd); // and its lock
    }
    closedir(dir);
}

zip_int64_t ArchiveFile::beginWrite()
{
    removeLeftovers();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = m_path + ".XXXXXX";
        const int fd = mkostemp(name.data(), O_CLOEXEC); // for the owner alone until it is complete
        if (fd < 0)
            return fail(ZIP_ER_TMPOPEN, errno);
        // Locked while it is written. Another packing's look for leftovers
        // may have taken it for one before the lock: then it is gone.
        struct stat opened, named;
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &opened) == 0 && lstat(name.c_str(), &named) == 0
            && sameFile(opened, named)) {
            m_tempFd = fd;
            m_tempPath = name;
            return 0;
        }
        close(fd);
    }
    return fail(ZIP_ER_TMPOPEN, EEXIST);
}

zip_int64_t ArchiveFile::write(const void *data, zip_uint64_t length)
{
    const char *bytes = static_cast<const char *>(data);
    for (zip_uint64_t done = 0; done < length;) {
        const ssize_t n = ::write(m_tempFd, bytes + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(ZIP_ER_WRITE, n < 0 ? errno : ENOSPC);
        done += zip_uint64_t(n);
    }
    return zip_int64_t(length);
}

zip_int64_t ArchiveFile::commitWrite()
{
    if (fchmod(m_tempFd, m_mode) != 0)
        return fail(ZIP_ER_WRITE, errno);
    // One packing of this library at a time looks at the archive and
    // renames over it, so that no other one comes in between.
    const std::string folder = split(m_path).first;
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0)
        flock(folderFd, LOCK_EX); // where the folder cannot be locked, the look alone guards it
    bool moved = false;
    int renameError = 0;
    if (changedSinceOpened())
        m_changedByOthers = true;
    else if (moveIntoPlace())
        moved = true;
    else
        renameError = errno;
    if (folderFd >= 0)
        close(folderFd);
    if (!moved)
        return m_changedByOthers ? fail(ZIP_ER_EXISTS, 0) : fail(ZIP_ER_RENAME, renameError);
    close(m_tempFd);
    m_tempFd = -1;
    m_tempPath.clear();
    return 0;
}

// Whether the archive's path no longer holds the file opened (or still
// nothing): another file, the same one written to, or none.
bool ArchiveFile::changedSinceOpened() const
{
    struct stat now;
    const bool there = ::stat(m_path.c_str(), &now) == 0;
    if (there != exists())
        return true;
    return there
        && (now.st_dev != m_status.st_dev || now.st_ino != m_status.st_ino || now.st_size != m_status.st_size
            || now.st_mtim.tv_sec != m_status.st_mtim.tv_sec || now.st_mtim.tv_nsec != m_status.st_mtim.tv_nsec
            || now.st_ctim.tv_sec != m_status.st_ctim.tv_sec || now.st_ctim.tv_nsec != m_status.st_ctim.tv_nsec);
}

// Renames the new archive into place. Where there was none, never over one
// that another program has just put there.
bool ArchiveFile::moveIntoPlace()
{
    if (!exists()) {
        if (renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, m_path.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST) {
            m_changedByOthers = true;
            return false;
        }
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        // The file system cannot refuse to replace: the look before stands.
    }
    return rename(m_tempPath.c_str(), m_path.c_str()) == 0;
}

void ArchiveFile::rollbackWrite()
{
    if (m_tempFd < 0)
        return;
    unlink(m_tempPath.c_str());
    close(m_tempFd);
    m_tempFd = -1;
    m_tempPath.clear();
}

} // namespace zip32
