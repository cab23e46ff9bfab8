// The archive's file on disk, as libzip reads and writes it. Internal to
// libzip32.so.
//
// libzip reads the archive that was there when it was opened, and writes
// the new one to a temporary file beside it, "<archive>.XXXXXX", created
// for the owner alone and given the archive's mode only before it is renamed
// into the archive's place. Until then nothing at the archive's path has
// changed. It is not renamed there when someone else has written, replaced
// or removed the archive since it was opened: that archive is theirs.
//
// The temporary file is locked (flock) while it is written. One that a
// packing killed half-way left behind is no one's: the next packing of the
// same archive removes it.
#pragma once

#include <zip.h>

#include <sys/stat.h>

#include <string>

namespace zip32 {

class ArchiveFile
{
public:
    explicit ArchiveFile(std::string path) : m_path(std::move(path)) {}
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile &) = delete;
    ArchiveFile &operator=(const ArchiveFile &) = delete;

    // Opens the file now at the path, if there is one. False, with errno
    // set, when there is one that cannot be opened.
    bool open();
    bool exists() const { return m_fd >= 0; }
    // The file opened; valid when it exists.
    const struct stat &status() const { return m_status; }

    // The mode the archive gets when it is written.
    void setMode(mode_t mode) { m_mode = mode; }
    // After a failure: whether someone else changed the archive meanwhile
    // (which may also have made reading it fail).
    bool changedByOthers() const { return m_changedByOthers || changedSinceOpened(); }

    // A libzip source over the file, for zip_open_from_source(); null, with
    // `error` set, when there is no memory for it. The source does not own
    // this object, which must outlive it.
    zip_source_t *source(zip_error_t *error);

private:
    static zip_int64_t command(void *state, void *data, zip_uint64_t length, zip_source_cmd_t cmd);
    zip_int64_t fail(int zipError, int systemError);
    zip_int64_t read(void *data, zip_uint64_t length);
    zip_int64_t seek(zip_int64_t *position, zip_uint64_t size, void *data, zip_uint64_t length);
    zip_int64_t stat(void *data);
    zip_int64_t beginWrite();
    zip_int64_t write(const void *data, zip_uint64_t length);
    zip_int64_t commitWrite();
    void rollbackWrite();
    bool changedSinceOpened() const;
    bool moveIntoPlace();
    void removeLeftovers() const;

    std::string m_path;
    int m_fd = -1;                // the archive as opened, for reading
    struct stat m_status = {};
    zip_int64_t m_readOffset = 0;
    mode_t m_mode = 0600;
    int m_tempFd = -1;            // the new archive while it is written
    std::string m_tempPath;
    zip_error_t m_error = {};
    bool m_changedByOthers = false;
};

} // namespace zip32
