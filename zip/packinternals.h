#pragma once
// What the pieces of the packing module share among themselves: the loaded
// library and its entries, the library calls, and where the library's
// questions go. Not for use outside the module.
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

// The library of the process. It keeps state of its own from one call to
// the next, so one packing at a time uses it: `inUse` is set from a
// packing's start on the owning thread until its end is known there. The
// rest belongs to the owning thread; a worker is handed the entries.
struct Library {
    QString fileName; // empty: the usual lookup
    std::unique_ptr<QLibrary> library; // with all its entries; never unloaded
    Entries entries;
    std::atomic<bool> inUse = false;
};

Library &zipLibrary();

// The library's entries, loading the library on first use. A library not
// found, or one without the zip entries (which is let go again), is looked
// for again at the next call. A file named by path is checked before the
// loader maps it: a damaged one is passed over as if missing. False, with
// what was found and why it will not do in *error, when there is none to
// use.
bool loadLibrary(Entries *entries, QString *error);

// Where the questions of the library calls on one thread go.
class Questions
{
public:
    virtual ~Questions() = default;
    // The answer, or std::nullopt as on Cancel.
    virtual std::optional<QString> ask(const QString &text) = 0;
};

// The three library calls for the settings `s`, on the calling thread; what
// the library writes into the file names and the archive path comes back
// into `s`. `progress` (or none) is registered when the library offers it;
// the library's questions go to `questions` (or none: as on Cancel).
// `systemError`, when given, receives the system's error number behind a
// failure, or 0.
qint32 runLibrary(const Entries &lib, PackingSettings &s, ZpProgress *progress, Questions *questions,
                  int *systemError = nullptr);

// The answer of the library calls' Questions on this thread, if any.
std::optional<QString> ask(const QString &text);

// describeResult() for a packing of `packedFile` into `archive` that has
// just ended: where the code alone is vague, the reason is found by looking
// at the two paths (a folder or a read-only file in the archive's place, a
// folder that is missing or cannot be written, an archive that would be the
// packed file itself, data before an archive), or else the system's reason
// for `systemError` (an errno value, 0 for none) is added.
QString describePacking(qint32 code, const QString &archive, const QString &packedFile, int systemError);

} // namespace VBZipBas::detail
