// One ZpArchive call, step by step: the paths, the archive's place, the
// files to pack, the archive opened, the questions, the entries, the write.
#include "zip32/archiving.h"

#include "zip32/archivefile.h"
#include "zip32/writeprotection.h"

#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace zip32 {
namespace {

mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Rewriting an archive keeps its entries only: anything before the first
// entry (a stub, as in a self-extracting archive) would be lost. A zip
// archive written as a file of its own starts with its first entry, or
// with its end record when it has none; an empty file is no archive yet.
bool startsWithOtherData(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    char start[4] = {};
    if (!in.read(start, sizeof start))
        return in.gcount() != 0;
    return std::memcmp(start, "PK\3\4", 4) != 0 && std::memcmp(start, "PK\5\6", 4) != 0;
}

int32_t codeForLibzip(int ze)
{
    switch (ze) {
    case ZIP_ER_OK:
        return ZE_OK;
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_MULTIDISK:
        return ZE_FORM;
    case ZIP_ER_MEMORY:
        return ZE_MEM;
    case ZIP_ER_CANCELLED:
        return ZE_ABORT;
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL:
    case ZIP_ER_CRC:
    case ZIP_ER_EOF:
    case ZIP_ER_CHANGED:
        return ZE_READ;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE:
    case ZIP_ER_RENAME:
    case ZIP_ER_REMOVE:
    case ZIP_ER_ZLIB:
        return ZE_WRITE;
    case ZIP_ER_TMPOPEN:
        return ZE_CREAT;
    case ZIP_ER_NOENT:
    case ZIP_ER_OPEN:
        return ZE_OPEN;
    case ZIP_ER_INVAL:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_EXISTS:
        return ZE_PARMS;
    case ZIP_ER_ENCRNOTSUPP:
        return ZE_CRYPT;
    default:
        return ZE_LOGIC;
    }
}

void reportProgress(zip_t *, double fraction, void *state)
{
    const ZpProgress *p = static_cast<const ZpProgress *>(state);
    p->progress(fraction, p->state);
}

int askCancel(zip_t *, void *state)
{
    const ZpProgress *p = static_cast<const ZpProgress *>(state);
    return p->cancel(p->state) != 0;
}

class SecretBuffer
{
public:
    explicit SecretBuffer(size_t size) : m_data(size, '\0') {}
    ~SecretBuffer()
    {
        volatile char *p = m_data.data();
        for (size_t i = 0; i < m_data.size(); ++i)
            p[i] = 0;
    }
    SecretBuffer(const SecretBuffer &) = delete;
    SecretBuffer &operator=(const SecretBuffer &) = delete;
    char *data() { return m_data.data(); }
    size_t size() const { return m_data.size(); }

private:
    std::vector<char> m_data;
};

class Packing
{
public:
    explicit Packing(const Call &call) : m_call(call), m_options(m_call.options) {}
    ~Packing()
    {
        if (m_zip)
            zip_discard(m_zip); // nothing on disk changes
    }
    Packing(const Packing &) = delete;
    Packing &operator=(const Packing &) = delete;

    int32_t run(int32_t count, const char *archivePath, const ZpNames *names)
    {
        if (!m_call.optionsValid || !validLevel(m_options.level))
            return ZE_PARMS;
        if (count < 1 || count > ZP_MAX_FILES || !archivePath || !*archivePath || !names)
            return ZE_PARMS;
        int32_t rc = resolvePaths(archivePath);
        if (rc == ZE_OK)
            rc = checkArchivePlace();
        if (rc == ZE_OK)
            rc = collectFiles(count, names);
        if (rc == ZE_OK)
            rc = openArchive();
        if (rc == ZE_OK)
            rc = askQuestions();
        if (rc == ZE_OK)
            rc = addEntries();
        if (rc == ZE_OK)
            rc = write();
        return rc;
    }

    int systemError() const { return m_systemError; }

private:
    // The code for a libzip error, keeping the system's error number behind it.
    int32_t codeFor(zip_error_t *error)
    {
        if (zip_error_system_type(error) == ZIP_ET_SYS)
            m_systemError = zip_error_code_system(error);
        return codeForLibzip(zip_error_code_zip(error));
    }
    int32_t codeForArchive() { return codeFor(zip_get_error(m_zip)); }

    void print(const std::string &line)
    {
        if (m_call.callbacks.print) // its answer is not used: a report cannot stop the packing
            m_call.callbacks.print(line.c_str(), static_cast<int32_t>(line.size()));
    }

    // Names resolve against the root folder; so does a relative archive path.
    int32_t resolvePaths(const char *archivePath)
    {
        std::error_code ec;
        m_base = fs::current_path(ec);
        if (ec)
            return ZE_READ;
        if (m_options.rootFolder && !m_options.rootFolder->empty())
            m_base /= *m_options.rootFolder;
        m_base = m_base.lexically_normal();
        m_zipPath = (m_base / archivePath).lexically_normal();
        return m_zipPath.has_filename() ? ZE_OK : ZE_PARMS;
    }

    // The archive is written into its folder, even when it replaces one:
    // neither a read-only folder nor a read-only archive is written, nor an
    // archive after data that rewriting it would lose.
    int32_t checkArchivePlace()
    {
        struct stat folderStat;
        const fs::path folder = m_zipPath.parent_path();
        if (stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode) || writeProtected(folder.c_str()))
            return ZE_CREAT;
        m_zipExists = stat(m_zipPath.c_str(), &m_zipStat) == 0;
        if (m_zipExists && (!S_ISREG(m_zipStat.st_mode) || writeProtected(m_zipPath.c_str())))
            return ZE_CREAT;
        if (m_zipExists && startsWithOtherData(m_zipPath))
            return ZE_FORM;
        return ZE_OK;
    }

    int32_t collectFiles(int32_t count, const ZpNames *names)
    {
        std::set<std::string> entryNames;
        for (int32_t i = 0; i < count; ++i) {
            const char *name = names->name[i];
            if (!name || !*name)
                return ZE_PARMS;
            const int32_t rc = collect((m_base / name).lexically_normal(), m_base, m_options,
                                       m_zipExists ? &m_zipStat : nullptr, m_items, entryNames, true);
            if (rc != ZE_OK)
                return rc;
        }
        if (m_items.empty())
            return ZE_NONE;
        if (m_options.encrypt && !zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            return ZE_CRYPT;
        return ZE_OK;
    }

    int32_t openArchive()
    {
        m_file = std::make_unique<ArchiveFile>(m_zipPath.string());
        if (!m_file->open()) {
            m_systemError = errno;
            return ZE_READ;
        }
        if (m_file->exists() && !S_ISREG(m_file->status().st_mode))
            return ZE_CREAT;
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t *source = m_file->source(&error);
        m_zip = source ? zip_open_from_source(source, ZIP_CREATE, &error) : nullptr;
        int32_t rc = ZE_OK;
        if (!m_zip) {
            const int ze = zip_error_code_zip(&error);
            rc = codeFor(&error);
            if (source)
                zip_source_free(source);
            if (ze != ZIP_ER_NOZIP && ze != ZIP_ER_INCONS && ze != ZIP_ER_MULTIDISK && ze != ZIP_ER_MEMORY)
                rc = m_zipExists ? ZE_READ : ZE_CREAT;
        }
        zip_error_fini(&error);
        if (rc != ZE_OK)
            return rc;
        ZpProgress *progress = &m_call.progress;
        if (progress->progress)
            zip_register_progress_callback_with_state(m_zip, 0.01, reportProgress, nullptr, progress);
        if (progress->cancel)
            zip_register_cancel_callback_with_state(m_zip, askCancel, nullptr, progress);
        return ZE_OK;
    }

    int32_t askQuestions()
    {
        if (m_options.encrypt) {
            if (!m_call.callbacks.password)
                return ZE_ABORT;
            const int32_t answer = m_call.callbacks.password(m_password.data(), static_cast<int32_t>(m_password.size()),
                                                             "Enter password: ", m_zipPath.c_str());
            m_password.data()[m_password.size() - 1] = '\0';
            if (answer != 0 || m_password.data()[0] == '\0')
                return ZE_ABORT;
        }
        if (m_options.comment && m_call.callbacks.comment) {
            std::vector<char> buffer(ZP_COMMENT_BUFFER_SIZE, '\0');
            m_call.callbacks.comment(buffer.data()); // its answer is not used: the buffer is the comment
            buffer.back() = '\0';
            m_comment = buffer.data();
            if (m_comment.size() > 0xFFFF)
                m_comment.resize(0xFFFF);
        }
        return ZE_OK;
    }

    // Whether `item` is left out by the update or freshen options.
    bool leftOut(const Item &item, zip_int64_t existing)
    {
        if (m_options.freshen && existing < 0)
            return true;
        if (!(m_options.update || m_options.freshen) || existing < 0)
            return false;
        zip_stat_t zs;
        zip_stat_init(&zs);
        // Entry times are kept to two seconds.
        return zip_stat_index(m_zip, static_cast<zip_uint64_t>(existing), 0, &zs) == 0 && (zs.valid & ZIP_STAT_MTIME)
            && (item.st.st_mtime & ~time_t(1)) <= zs.mtime;
    }

    int32_t addEntries()
    {
        const int level = m_options.level - '0';
        int packed = 0;
        for (const Item &item : m_items) {
            const zip_int64_t existing = zip_name_locate(m_zip, item.name.c_str(), 0);
            if (leftOut(item, existing))
                continue;
            if (m_call.callbacks.service) {
                const int32_t size = item.st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(item.st.st_size);
                if (m_call.callbacks.service(item.name.c_str(), size) != 0)
                    return ZE_ABORT;
            }
            print((existing >= 0 ? "updating: " : "  adding: ") + item.name);

            zip_source_t *src = zip_source_file(m_zip, item.path.c_str(), 0, -1);
            if (!src)
                return codeForArchive();
            const zip_int64_t idx = zip_file_add(m_zip, item.name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
            if (idx < 0) {
                zip_source_free(src);
                return codeForArchive();
            }
            const zip_uint64_t index = static_cast<zip_uint64_t>(idx);
            if (zip_set_file_compression(m_zip, index, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                         static_cast<zip_uint32_t>(level))
                    != 0
                || zip_file_set_mtime(m_zip, index, item.st.st_mtime, 0) != 0
                || zip_file_set_external_attributes(m_zip, index, 0, ZIP_OPSYS_UNIX,
                                                    static_cast<zip_uint32_t>(item.st.st_mode & 0177777) << 16)
                       != 0)
                return codeForArchive();
            if (m_options.encrypt && zip_file_set_encryption(m_zip, index, ZIP_EM_AES_256, m_password.data()) != 0)
                return codeForArchive();
            ++packed;
            m_packedPermissions &= item.st.st_mode & 0777;
        }
        return packed == 0 ? ZE_NONE : ZE_OK;
    }

    // Writes the archive; on failure nothing on disk has changed.
    int32_t write()
    {
        if (!m_comment.empty()
            && zip_set_archive_comment(m_zip, m_comment.data(), static_cast<zip_uint16_t>(m_comment.size())) != 0)
            return codeForArchive();
        // A replaced archive keeps its mode; a new one gets the mode of a new
        // file in that folder, but no permission that a file packed lacks: the
        // archive of a private script is private too.
        m_file->setMode(m_file->exists() ? m_file->status().st_mode & 07777
                                         : 0666 & ~currentUmask() & m_packedPermissions);
        if (zip_close(m_zip) == 0) {
            m_zip = nullptr;
            return ZE_OK;
        }
        if (m_file->changedByOthers())
            return ZE_CHANGED; // what failed along with it is beside the point
        return codeForArchive();
    }

    Call m_call; // this packing's own copy of the call's settings
    const Options &m_options;
    fs::path m_base, m_zipPath;
    bool m_zipExists = false;
    struct stat m_zipStat = {};
    std::vector<Item> m_items;
    std::unique_ptr<ArchiveFile> m_file; // outlives m_zip, whose source it is
    zip_t *m_zip = nullptr;
    SecretBuffer m_password{ZP_PASSWORD_BUFFER_SIZE};
    std::string m_comment;
    mode_t m_packedPermissions = 0777; // what every file packed grants
    int m_systemError = 0;
};

} // namespace

int32_t archive(const Call &call, int32_t count, const char *archivePath, const ZpNames *names, int *systemError)
{
    Packing packing(call);
    const int32_t rc = packing.run(count, archivePath, names);
    *systemError = rc == ZE_OK || rc == ZE_CHANGED ? 0 : packing.systemError();
    return rc;
}

} // namespace zip32
