// zip32 on top of libzip: see zip32.h for the interface.
#include "zip32/zip32.h"

#include <zip.h>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::optional<std::string> date;
    std::optional<std::string> rootFolder;
    bool encrypt = false;
    bool stripFolders = false;
    bool update = false;
    bool freshen = false;
    bool comment = false;
    bool recurse = false;
    bool afterDate = false;
    bool beforeDate = false;
    char level = '6';
};

ZpCallbacks g_callbacks{};
Options g_options;
bool g_optionsValid = true;
bool g_busy = false;

class BusyGuard
{
public:
    BusyGuard() { g_busy = true; }
    ~BusyGuard() { g_busy = false; }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;
};

struct Item {
    std::string path; // file on disk
    std::string name; // entry name in the archive
    struct stat st;
};

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

// "YYYY-MM-DD" as local midnight.
std::optional<time_t> parseDate(const std::optional<std::string> &text)
{
    if (!text || text->size() != 10 || (*text)[4] != '-' || (*text)[7] != '-')
        return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if ((*text)[i] < '0' || (*text)[i] > '9')
            return std::nullopt;
    struct tm tm{};
    tm.tm_year = std::stoi(text->substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(text->substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(text->substr(8, 2));
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31)
        return std::nullopt;
    const int month = tm.tm_mon, day = tm.tm_mday;
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1) || tm.tm_mon != month || tm.tm_mday != day)
        return std::nullopt; // 2026-02-30 and the like
    return t;
}

bool validUtf8(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        unsigned min;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// An entry name must stay inside the folder it is unpacked into.
bool safeEntryName(const std::string &name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\')
        return false;
    if (name.size() >= 2 && name[1] == ':')
        return false; // a drive letter
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..")
            return false;
        start = end + 1;
    }
    return validUtf8(name);
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

int32_t codeForArchive(zip_t *za)
{
    return codeForLibzip(zip_error_code_zip(zip_get_error(za)));
}

void print(const std::string &line)
{
    if (g_callbacks.print)
        g_callbacks.print(line.c_str(), static_cast<int32_t>(line.size()));
}

// Adds path (a file or, with recursion, a folder) to items. Returns 0 or a code.
int32_t collect(const fs::path &path, const fs::path &base, const Options &o,
                const struct stat *archiveStat, std::vector<Item> &items,
                std::set<std::string> &names, bool named)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return named ? ZE_OPEN : ZE_OK;
    if (S_ISDIR(st.st_mode)) {
        if (!o.recurse)
            return ZE_OK;
        std::error_code ec;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path());
        if (ec)
            return ZE_READ;
        std::sort(children.begin(), children.end());
        for (const fs::path &child : children) {
            const int32_t rc = collect(child, base, o, archiveStat, items, names, false);
            if (rc != ZE_OK)
                return rc;
        }
        return ZE_OK;
    }
    if (!S_ISREG(st.st_mode))
        return named ? ZE_OPEN : ZE_OK;
    if (archiveStat && st.st_dev == archiveStat->st_dev && st.st_ino == archiveStat->st_ino)
        return ZE_OK; // never pack the archive into itself
    if (o.afterDate || o.beforeDate) {
        const std::optional<time_t> date = parseDate(o.date);
        if (!date)
            return ZE_PARMS;
        if (o.afterDate && st.st_mtime < *date)
            return ZE_OK;
        if (o.beforeDate && st.st_mtime >= *date)
            return ZE_OK;
    }
    const std::string name = o.stripFolders ? path.filename().string()
                                            : path.lexically_relative(base).generic_string();
    if (!safeEntryName(name) || !names.insert(name).second)
        return ZE_PARMS;
    items.push_back(Item{path.string(), name, st});
    return ZE_OK;
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

    struct stat zipStat;
    const bool zipExists = stat(zipPath.c_str(), &zipStat) == 0;
    if (zipExists && !S_ISREG(zipStat.st_mode))
        return ZE_CREAT;

    std::vector<Item> items;
    std::set<std::string> entryNames;
    for (int32_t i = 0; i < count; ++i) {
        const char *name = names->name[i];
        if (!name || !*name)
            return ZE_PARMS;
        const int32_t rc = collect((base / name).lexically_normal(), base, o,
                                   zipExists ? &zipStat : nullptr, items, entryNames, true);
        if (rc != ZE_OK)
            return rc;
    }
    if (items.empty())
        return ZE_NONE;
    if (o.encrypt && !zip_encryption_method_supported(ZIP_EM_AES_256, 1))
        return ZE_CRYPT;

    int err = 0;
    zip_t *za = zip_open(zipPath.c_str(), ZIP_CREATE, &err);
    if (!za) {
        if (err == ZIP_ER_NOZIP || err == ZIP_ER_INCONS || err == ZIP_ER_MULTIDISK
            || err == ZIP_ER_MEMORY)
            return codeForLibzip(err);
        return zipExists ? ZE_READ : ZE_CREAT;
    }
    Archive zip(za);

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
        g_callbacks.comment(buffer.data());
        buffer.back() = '\0';
        comment = buffer.data();
        if (comment.size() > 0xFFFF)
            comment.resize(0xFFFF);
    }

    const int level = o.level - '0';
    int packed = 0;
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
    }
    if (packed == 0)
        return ZE_NONE;
    if (!comment.empty()
        && zip_set_archive_comment(za, comment.data(), static_cast<zip_uint16_t>(comment.size()))
               != 0)
        return codeForArchive(za);

    const int32_t rc = zip.close();
    if (rc != ZE_OK)
        return rc;
    // libzip's temporary file is private (or copies the old archive's mode):
    // give the archive the mode of any new file in that folder.
    chmod(zipPath.c_str(), 0666 & ~currentUmask());
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

ZP_EXPORT int32_t ZpSetOptions(ZpOptions *options)
{
    if (g_busy)
        return ZE_LOGIC;
    if (!options)
        return ZE_PARMS;
    try {
        Options o;
        o.date = copyString(options->date);
        o.rootFolder = copyString(options->rootFolder);
        o.encrypt = options->fEncrypt != 0;
        o.stripFolders = options->fStripFolders != 0;
        o.update = options->fUpdate != 0;
        o.freshen = options->fFreshen != 0;
        o.comment = options->fComment != 0;
        o.recurse = options->fRecurse != 0;
        o.afterDate = options->fAfterDate != 0;
        o.beforeDate = options->fBeforeDate != 0;
        o.level = options->fLevel;
        g_options = std::move(o);
    } catch (const std::bad_alloc &) {
        g_optionsValid = false;
        return ZE_MEM;
    }
    g_optionsValid = validLevel(g_options.level)
        && (!(g_options.afterDate || g_options.beforeDate) || parseDate(g_options.date));
    return g_optionsValid ? ZE_OK : ZE_PARMS;
}

ZP_EXPORT int32_t ZpArchive(int32_t count, char *archivePath, ZpNames *names)
{
    if (g_busy)
        return ZE_LOGIC;
    BusyGuard busy;
    try {
        return archive(count, archivePath, names);
    } catch (const std::bad_alloc &) {
        return ZE_MEM;
    } catch (...) {
        return ZE_LOGIC;
    }
}

} // extern "C"
