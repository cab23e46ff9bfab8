// Which files a ZpArchive call packs, and the entry name each one gets.
#include "zip32/entries.h"

#include "zip32/zip32.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace zip32 {
namespace {

// Whether `text` is well-formed UTF-8: no stray or missing continuation
// byte, no overlong form, no surrogate, nothing past U+10FFFF.
bool validUtf8(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        char32_t code = 0, least = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i <= more)
            return false;
        for (size_t k = 1; k <= more; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
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

} // namespace

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

int32_t collect(const fs::path &path, const fs::path &base, const Options &options,
                const struct stat *archiveStat, std::vector<Item> &items,
                std::set<std::string> &names, bool named)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return named ? ZE_OPEN : ZE_OK;
    if (S_ISDIR(st.st_mode)) {
        if (!options.recurse)
            return ZE_OK;
        std::error_code ec;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(it->path());
        if (ec)
            return ZE_READ;
        std::sort(children.begin(), children.end());
        for (const fs::path &child : children) {
            const int32_t rc = collect(child, base, options, archiveStat, items, names, false);
            if (rc != ZE_OK)
                return rc;
        }
        return ZE_OK;
    }
    if (!S_ISREG(st.st_mode))
        return named ? ZE_OPEN : ZE_OK;
    if (archiveStat && st.st_dev == archiveStat->st_dev && st.st_ino == archiveStat->st_ino)
        return ZE_OK; // never pack the archive into itself
    if (options.afterDate || options.beforeDate) {
        const std::optional<time_t> date = parseDate(options.date);
        if (!date)
            return ZE_PARMS;
        if (options.afterDate && st.st_mtime < *date)
            return ZE_OK;
        if (options.beforeDate && st.st_mtime >= *date)
            return ZE_OK;
    }
    const std::string name = options.stripFolders ? path.filename().string()
                                                  : path.lexically_relative(base).generic_string();
    if (!safeEntryName(name) || !names.insert(name).second)
        return ZE_PARMS;
    items.push_back(Item{path.string(), name, st});
    return ZE_OK;
}

} // namespace zip32
