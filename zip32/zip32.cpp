// zip32 on top of libzip: see zip32.h for the interface.
#include "zip32/zip32.h"

#include "zip32/archivefile.h"
#include "zip32/entries.h"
#include "zip32/writeprotection.h"

#include <zip.h>

#include <QScopedValueRollback>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <new>

namespace fs = std::filesystem;
using zip32::Item;
using zip32::Options;

namespace {

ZpCallbacks g_callbacks{};
ZpProgress g_progress{};
Options g_options;
bool g_optionsValid = true;
bool g_busy = false;
int g_systemError = 0; // behind the last ZpArchive's failure

std::optional<std::string> copyString(const char *s)
{
    if (!s)
        return std::nullopt;
    return std::string(s);
}

bool validLevel(char level)
{
    return level >= '0' && level <= '9';
}

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
bool dataBeforeArchive(const fs::path &path)
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

// The code for a libzip error, keeping the system's error number behind it.
int32_t codeForError(zip_error_t *error)
{
    if (zip_error_system_type(error) == ZIP_ET_SYS)
        g_systemError = zip_error_code_system(error);
    return codeForLibzip(zip_error_code_zip(error));
}

int32_t codeForArchive(zip_t *za)
{
    return codeForError(zip_get_error(za));
}

void print(const std::string &line)
{
    if (g_callbacks.print) // its answer is not used: a report cannot stop the packing
        g_callbacks.print(line.c_str(), static_cast<int32_t>(line.size()));
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

class Archive
{
public:
    explicit Archive(zip_t *za) : m_za(za) {}
    ~Archive()
    {
        if (m_za)
            zip_discard(m_za);
    }
    Archive(const Archive &) = delete;
    Archive &operator=(const Archive &) = delete;
    zip_t *get() const { return m_za; }
    // Writes the archive; on failure nothing on disk has changed.
    int32_t close()
    {
        if (zip_close(m_za) != 0)
            return codeForArchive(m_za);
        m_za = nullptr;
        return ZE_OK;
    }

private:
    zip_t *m_za;
};

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

int32_t archive(int32_t count, const char *archivePath, const ZpNames *names)
{
    if (!g_optionsValid || !validLevel(g_options.level))
        return ZE_PARMS;
    if (count < 1 || count > ZP_MAX_FILES || !archivePath || !*archivePath || !names)
        return ZE_PARMS;
    const Options o = g_options;

    std::error_code ec;
    fs::path base = fs::current_path(ec);
    if (ec)
        return ZE_READ;
    if (o.rootFolder && !o.rootFolder->empty())
        base = (base / *o.rootFolder);
    base = base.lexically_normal();
    const fs::path zipPath = (base / archivePath).lexically_normal();
    if (!zipPath.has_filename())
        return ZE_PARMS;

    // The archive is written into its folder, even when it replaces one:
    // neither a read-only folder nor a read-only archive is written.
    struct stat folderStat;
    const fs::path folder = zipPath.parent_path();
    if (stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode)
        || zip32::writeProtected(folder.c_str()))
        return ZE_CREAT;
    struct stat zipStat;
    const bool zipExists = stat(zipPath.c_str(), &zipStat) == 0;
    if (zipExists && (!S_ISREG(zipStat.st_mode) || zip32::writeProtected(zipPath.c_str())))
        return ZE_CREAT;
    if (zipExists && dataBeforeArchive(zipPath))
        return ZE_FORM;

    std::vector<Item> items;
    std::set<std::string> entryNames;
    for (int32_t i = 0; i < count; ++i) {
        const char *name = names->name[i];
        if (!name || !*name)
            return ZE_PARMS;
        const int32_t rc = zip32::collect((base / name).lexically_normal(), base, o,
                                   zipExists ? &zipStat : nullptr, items, entryNames, true);
        if (rc != ZE_OK)
            return rc;
    }
    if (items.empty())
        return ZE_NONE;
    if (o.encrypt && !zip_encryption_method_supported(ZIP_EM_AES_256, 1))
        return ZE_CRYPT;

    zip32::ArchiveFile file(zipPath.string());
    if (!file.open()) {
        g_systemError = errno;
        return ZE_READ;
    }
    if (file.exists() && !S_ISREG(file.status().st_mode))
        return ZE_CREAT;
    zip_error_t openError;
    zip_error_init(&openError);
    zip_source_t *source = file.source(&openError);
    zip_t *za = source ? zip_open_from_source(source, ZIP_CREATE, &openError) : nullptr;
    if (!za) {
        const int err = zip_error_code_zip(&openError);
        int32_t code = codeForError(&openError);
        zip_error_fini(&openError);
        if (source)
            zip_source_free(source);
        if (err != ZIP_ER_NOZIP && err != ZIP_ER_INCONS && err != ZIP_ER_MULTIDISK && err != ZIP_ER_MEMORY)
            code = zipExists ? ZE_READ : ZE_CREAT;
        return code;
    }
    zip_error_fini(&openError);
    Archive zip(za);
    if (g_progress.progress)
        zip_register_progress_callback_with_state(za, 0.01, reportProgress, nullptr, &g_progress);
    if (g_progress.cancel)
        zip_register_cancel_callback_with_state(za, askCancel, nullptr, &g_progress);

    SecretBuffer password(ZP_PASSWORD_BUFFER_SIZE);
    if (o.encrypt) {
        if (!g_callbacks.password)
            return ZE_ABORT;
        const int32_t answer = g_callbacks.password(password.data(),
                                                    static_cast<int32_t>(password.size()),
                                                    "Enter password: ", zipPath.c_str());
        password.data()[password.size() - 1] = '\0';
        if (answer != 0 || password.data()[0] == '\0')
            return ZE_ABORT;
    }
    std::string comment;
    if (o.comment && g_callbacks.comment) {
        std::vector<char> buffer(ZP_COMMENT_BUFFER_SIZE, '\0');
        g_callbacks.comment(buffer.data()); // its answer is not used: the buffer is the comment
        buffer.back() = '\0';
        comment = buffer.data();
        if (comment.size() > 0xFFFF)
            comment.resize(0xFFFF);
    }

    const int level = o.level - '0';
    int packed = 0;
    mode_t packedPermissions = 0777; // what every file packed grants
    for (const Item &item : items) {
        const zip_int64_t existing = zip_name_locate(za, item.name.c_str(), 0);
        if (o.freshen && existing < 0)
            continue;
        if ((o.update || o.freshen) && existing >= 0) {
            zip_stat_t zs;
            zip_stat_init(&zs);
            // Entry times are kept to two seconds.
            if (zip_stat_index(za, static_cast<zip_uint64_t>(existing), 0, &zs) == 0
                && (zs.valid & ZIP_STAT_MTIME) && (item.st.st_mtime & ~time_t(1)) <= zs.mtime)
                continue;
        }
        if (g_callbacks.service) {
            const int32_t size = item.st.st_size > INT32_MAX ? INT32_MAX
                                                              : static_cast<int32_t>(item.st.st_size);
            if (g_callbacks.service(item.name.c_str(), size) != 0)
                return ZE_ABORT;
        }
        print((existing >= 0 ? "updating: " : "  adding: ") + item.name);

        zip_source_t *src = zip_source_file(za, item.path.c_str(), 0, -1);
        if (!src)
            return codeForArchive(za);
        const zip_int64_t idx = zip_file_add(za, item.name.c_str(), src,
                                             ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (idx < 0) {
            zip_source_free(src);
            return codeForArchive(za);
        }
        const zip_uint64_t index = static_cast<zip_uint64_t>(idx);
        if (zip_set_file_compression(za, index, level == 0 ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     static_cast<zip_uint32_t>(level))
                != 0
            || zip_file_set_mtime(za, index, item.st.st_mtime, 0) != 0
            || zip_file_set_external_attributes(
                   za, index, 0, ZIP_OPSYS_UNIX,
                   static_cast<zip_uint32_t>(item.st.st_mode & 0177777) << 16)
                   != 0)
            return codeForArchive(za);
        if (o.encrypt && zip_file_set_encryption(za, index, ZIP_EM_AES_256, password.data()) != 0)
            return codeForArchive(za);
        ++packed;
        packedPermissions &= item.st.st_mode & 0777;
    }
    if (packed == 0)
        return ZE_NONE;
    if (!comment.empty()
        && zip_set_archive_comment(za, comment.data(), static_cast<zip_uint16_t>(comment.size()))
               != 0)
        return codeForArchive(za);

    // A replaced archive keeps its mode; a new one gets the mode of a new
    // file in that folder, but no permission that a file packed lacks: the
    // archive of a private script is private too.
    file.setMode(file.exists() ? file.status().st_mode & 07777 : 0666 & ~currentUmask() & packedPermissions);
    const int32_t rc = zip.close();
    if (rc != ZE_OK && file.changedByOthers()) {
        g_systemError = 0; // what failed is beside the point
        return ZE_CHANGED;
    }
    if (rc != ZE_OK)
        return rc;
    return ZE_OK;
}

} // namespace

extern "C" {

ZP_EXPORT int32_t ZpInit(ZpCallbacks *callbacks)
{
    if (g_busy)
        return ZE_LOGIC;
    g_callbacks = callbacks ? *callbacks : ZpCallbacks{};
    return ZE_OK;
}

ZP_EXPORT int32_t ZpSetProgress(ZpProgress *progress)
{
    if (g_busy)
        return ZE_LOGIC;
    g_progress = progress ? *progress : ZpProgress{};
    return ZE_OK;
}

ZP_EXPORT int32_t ZpSetOptions(ZpOptions *options)
{
    if (g_busy)
        return ZE_LOGIC;
    if (!options)
        return ZE_PARMS;
    try {
        g_options = Options{
            .date = copyString(options->date),
            .rootFolder = copyString(options->rootFolder),
            .encrypt = options->fEncrypt != 0,
            .stripFolders = options->fStripFolders != 0,
            .update = options->fUpdate != 0,
            .freshen = options->fFreshen != 0,
            .comment = options->fComment != 0,
            .recurse = options->fRecurse != 0,
            .afterDate = options->fAfterDate != 0,
            .beforeDate = options->fBeforeDate != 0,
            .level = options->fLevel,
        };
    } catch (const std::bad_alloc &) {
        g_optionsValid = false;
        return ZE_MEM;
    }
    g_optionsValid = validLevel(g_options.level)
        && (!(g_options.afterDate || g_options.beforeDate) || zip32::parseDate(g_options.date));
    return g_optionsValid ? ZE_OK : ZE_PARMS;
}

ZP_EXPORT int32_t ZpArchive(int32_t count, char *archivePath, ZpNames *names)
{
    if (g_busy)
        return ZE_LOGIC;
    const QScopedValueRollback busy(g_busy, true);
    g_systemError = 0;
    try {
        return archive(count, archivePath, names);
    } catch (const std::bad_alloc &) {
        return ZE_MEM;
    } catch (...) {
        return ZE_LOGIC;
    }
}

ZP_EXPORT int32_t ZpSystemError(void)
{
    return g_systemError;
}

} // extern "C"
