// Which files a ZpArchive call packs, and the entry name each one gets.
// Internal to libzip32.so.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zip32 {

// The options in force, as ZpSetOptions took them.
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

// One file to pack.
struct Item {
    std::string path; // file on disk
    std::string name; // entry name in the archive
    struct stat st;
};

// "YYYY-MM-DD" as local midnight; nothing for any other text or a day that
// does not exist.
std::optional<time_t> parseDate(const std::optional<std::string> &text);

// Whether `level` is a compression level the library takes: '0' to '9'.
inline bool validLevel(char level)
{
    return level >= '0' && level <= '9';
}

// Adds `path` to `items`: a regular file, or with recursion every regular
// file below a folder. Entries are named relative to `base`, or by their
// bare names when folders are stripped; `names` holds the names taken so
// far. The archive itself (`archiveStat`) is never added. A `named` path is
// one the caller listed: when it is missing or not a file, the answer is
// ZE_OPEN. Returns ZE_OK or the code that ends the call.
int32_t collect(const std::filesystem::path &path, const std::filesystem::path &base,
                const Options &options, const struct stat *archiveStat, std::vector<Item> &items,
                std::set<std::string> &names, bool named);

} // namespace zip32
