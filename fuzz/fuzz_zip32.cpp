// Fuzz target: the zip library's handling of the names it is asked to pack.
// For any list of names, ZpArchive answers one of its documented codes,
// writes nothing but the archive (no stray temporary file, nothing outside
// the archive's folder), leaves no archive behind on failure, and names no
// entry so that unpacking it would leave the folder it is unpacked into.
//
// Everything happens in a scratch folder of its own under TMPDIR:
//   root/      the archive's folder and the root the names resolve against,
//              holding scripts, a sub-folder, odd file names, a symbolic link
//              to outside/, a named pipe
//   outside/   a folder beside it, which must stay untouched
// Input: the first byte holds flags (bit 0: strip folders; bit 1: count one
// slot more than there are names), the rest the names, separated by zero bytes.
#include "check.h"

#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// ---- The project code this target calls: the one place to rename. ----
#include "zip32/zip32.h"

namespace {

constexpr const char *archiveName = "out.zip";
constexpr int maxNames = ZP_MAX_FILES;
const std::set<int32_t> definedCodes = {ZE_OK,   ZE_FORM, ZE_MEM,   ZE_LOGIC, ZE_ABORT, ZE_READ,
                                        ZE_NONE, ZE_WRITE, ZE_CREAT, ZE_PARMS, ZE_OPEN,  ZE_CRYPT, ZE_CHANGED};

std::vector<std::string> *g_announced = nullptr; // names the library announces while packing

int32_t announce(const char *name, int32_t)
{
    if (g_announced)
        g_announced->push_back(name);
    return 0;
}

int32_t pack(const std::string &root, std::vector<std::string> names, int32_t count, bool stripFolders)
{
    std::string rootCopy = root;
    std::string archive = archiveName;
    ZpOptions options{};
    options.rootFolder = rootCopy.data();
    options.fStripFolders = stripFolders;
    options.fLevel = '1';
    FUZZ_CHECK(ZpSetOptions(&options) == ZE_OK, "plain options are taken");
    ZpCallbacks callbacks{};
    callbacks.service = announce;
    FUZZ_CHECK(ZpInit(&callbacks) == ZE_OK, "callbacks are taken");
    ZpNames list{};
    for (size_t i = 0; i < names.size(); ++i)
        list.name[i] = names[i].data();
    return ZpArchive(count, archive.data(), &list);
}
// ---- end of project calls ----

namespace fs = std::filesystem;

void writeFile(const fs::path &path, const char *text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The scratch folder, made on first use and removed at exit.
struct Scratch {
    fs::path top, root;
    Scratch()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-fuzz-zip32-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern.data()), "a scratch folder can be made");
        top = pattern;
        root = top / "root";
        const fs::path outside = top / "outside";
        fs::create_directories(root / "sub" / "deep");
        fs::create_directories(root / "empty");
        fs::create_directories(outside);
        writeFile(root / "a.rwx", "ModelBegin\r\nModelEnd\r\n");
        writeFile(root / "B.RWX", "ModelBegin\nModelEnd\n");
        writeFile(root / "sub" / "c.rwx", "ClumpBegin\r\nClumpEnd\r\n");
        writeFile(root / "sub" / "deep" / "d.rwx", "");
        writeFile(root / ".hidden", "#");
        writeFile(root / "\xC3\xA4.rwx", "# UTF-8 name");
        writeFile(root / "bad\xFF.rwx", "# not a UTF-8 name");
        writeFile(root / "..\\up.rwx", "# a backslash in the name");
        writeFile(root / "C:drive.rwx", "# a drive-like name");
        writeFile(outside / "secret.rwx", "# must stay where it is");
        fs::create_directory_symlink("../outside", root / "link");
        fs::create_symlink("../outside/secret.rwx", root / "secret-link.rwx");
        FUZZ_CHECK(mkfifo((root / "pipe").c_str(), 0600) == 0, "a named pipe can be made");
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(top, ec);
    }
};

Scratch &scratch()
{
    static Scratch s;
    return s;
}

// Every file, folder and link below the scratch folder, as lstat sees it.
using Snapshot = std::map<std::string, std::tuple<unsigned, long long, long long, long long, unsigned long>>;

// The archive itself is left out, and so are the size and times of its
// folder, which change as the archive comes and goes.
Snapshot snapshot(const fs::path &top, const fs::path &archive)
{
    Snapshot s;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(top)) {
        if (e.path() == archive)
            continue;
        struct stat st;
        FUZZ_CHECK(lstat(e.path().c_str(), &st) == 0, "what was listed can be looked at");
        if (e.path() == archive.parent_path())
            s[e.path().string()] = {unsigned(st.st_mode), 0, 0, 0, (unsigned long)st.st_ino};
        else
            s[e.path().string()] = {unsigned(st.st_mode), (long long)st.st_size, (long long)st.st_mtim.tv_sec,
                                    (long long)st.st_mtim.tv_nsec, (unsigned long)st.st_ino};
    }
    return s;
}

// An entry name unpacks inside the folder it is unpacked into, taking
// either slash as a separator.
bool unpacksInside(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name[0] == '/' || (name.size() >= 2 && name[1] == ':'))
        return false;
    const fs::path into("/unpack/here");
    const std::string at = (into / name).lexically_normal().string();
    return at.rfind("/unpack/here/", 0) == 0 && at.size() > std::strlen("/unpack/here/");
}

} // namespace

ORVANE_FUZZ_TARGET
{
    if (size == 0)
        return 0;
    const Scratch &s = scratch();
    const fs::path archive = s.root / archiveName;
    const bool countExtraSlot = data[0] & 2;
    bool stripFolders = data[0] & 1;

    std::vector<std::string> names;
    const char *const text = reinterpret_cast<const char *>(data + 1);
    const char *const end = text + (size - 1);
    for (const char *at = text; names.size() < maxNames;) {
        const char *const stop = std::find(at, end, '\0');
        names.emplace_back(at, stop);
        if (stop == end)
            break;
        at = stop + 1;
    }
    // Stripped of their folders, names outside the scratch folder would pack
    // files of this machine: those are only tried with their folders, which
    // the library must refuse before reading anything.
    for (const std::string &name : names) {
        const std::string resolved = (s.root / name).lexically_normal().string();
        if (resolved.rfind(s.top.string() + "/", 0) != 0)
            stripFolders = false;
    }
    const int32_t count = int32_t(std::min<size_t>(names.size() + (countExtraSlot ? 1 : 0), maxNames));

    const Snapshot before = snapshot(s.top, archive);
    std::vector<std::string> announced;
    g_announced = &announced;
    const int32_t rc = pack(s.root.string(), names, count, stripFolders);
    g_announced = nullptr;
    FUZZ_CHECK(definedCodes.count(rc) == 1, "ZpArchive answers a documented code");
    FUZZ_CHECK(rc != ZE_LOGIC && rc != ZE_MEM, "no name makes an internal error (an exception, say)");
    const Snapshot after = snapshot(s.top, archive);
    if (after != before) {
        for (const auto &[path, state] : after) {
            if (!before.count(path) || before.at(path) != state)
                std::fprintf(stderr, "written: %s\n", path.c_str());
        }
        for (const auto &[path, state] : before) {
            if (!after.count(path))
                std::fprintf(stderr, "removed: %s\n", path.c_str());
        }
    }
    FUZZ_CHECK(after == before, "nothing but the archive is written");
    for (const std::string &name : announced)
        FUZZ_CHECK(unpacksInside(name), "every entry announced unpacks inside its folder");

    struct stat st;
    const bool exists = lstat(archive.c_str(), &st) == 0;
    if (rc != ZE_OK) {
        FUZZ_CHECK(!exists, "a failed call leaves no archive behind");
        return 0;
    }
    FUZZ_CHECK(exists && S_ISREG(st.st_mode), "a successful call writes the archive");
    int error = 0;
    zip_t *za = zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    FUZZ_CHECK(za, "the archive opens");
    const zip_int64_t entries = zip_get_num_entries(za, 0);
    FUZZ_CHECK(entries >= 1 && entries <= count, "one entry per name at most");
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char *name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        FUZZ_CHECK(name && unpacksInside(name), "every entry unpacks inside its folder");
        FUZZ_CHECK(std::count(announced.begin(), announced.end(), std::string(name)) == 1,
                   "every entry was announced once");
    }
    zip_discard(za);
    fs::remove(archive);
    return 0;
}
