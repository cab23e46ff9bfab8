#pragma once
// What the pieces of the packing module share among themselves: the loaded
// library and its entries, the running flag, and the library calls. Not for
// use outside the module.
#include "zip/vbzipbas.h"

#include <QLibrary>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace VBZipBas::detail {

using InitFunction = int32_t (*)(ZpCallbacks *);
using SetOptionsFunction = int32_t (*)(ZpOptions *);
using ArchiveFunction = int32_t (*)(int32_t, char *, ZpNames *);
using SetProgressFunction = int32_t (*)(ZpProgress *);
using SystemErrorFunction = int32_t (*)();

// The library's entries; setProgress and systemError are optional.
struct Entries {
    InitFunction init = nullptr;
    SetOptionsFunction setOptions = nullptr;
    ArchiveFunction archive = nullptr;
    SetProgressFunction setProgress = nullptr;
    SystemErrorFunction systemError = nullptr;
};

struct Library {
    QString fileName; // empty: the usual lookup
    std::unique_ptr<QLibrary> library; // with all its entries; never unloaded
    Entries entries;
    QString problem; // the last file refused, and why
};

// The one library of the program.
Library &zipLibrary();

// Loads the library on first use and resolves its entries; a library not
// found, or one without the entries, is looked for again at the next call.
// A file named by path is checked before the loader maps it: a damaged one
// is passed over as if missing. Returns 0, ResultLibraryNotFound,
// ResultLibraryDamaged or ResultLibraryWithoutEntries.
qint32 loadLibrary();

// Set while a packing runs, from its start on the owning thread until its
// end is known there.
extern std::atomic<bool> g_running;

// The three library calls for the settings `s`, on the calling thread; what
// the library writes into the file names and the archive path comes back
// into `s`. `progress` (or none) is registered when the library offers it.
// `systemError`, when given, receives the system's error number behind a
// failure, or 0.
qint32 runLibrary(const Entries &lib, PackingSettings &s, ZpProgress *progress, int *systemError = nullptr);

// The prompt's answer to `text`, asked on this thread; none without a prompt.
std::optional<QString> askHere(const QString &text);
// The same from a BackgroundPack's worker, put to the starting thread; on
// any other thread, askHere().
std::optional<QString> ask(const QString &text);

} // namespace VBZipBas::detail
