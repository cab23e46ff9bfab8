#pragma once
// Packing files into a zip archive through the zip library libzip32.so.
//
// The caller assigns the settings below and calls PackZip(), or starts a
// BackgroundPack to run the library in a worker thread; "Save Zip Next"
// assigns them with assignSaveNextSettings().
//
// The settings, the prompt and the library lookup belong to the thread that
// owns the application object (the window's thread); only the library calls
// of a BackgroundPack run elsewhere.
#include "zip32/zip32.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace VBZipBas {

// The list of files to pack: slot 0 first, unused slots null.
using ZipFileList = std::array<QString, ZP_MAX_FILES>;

// The module's copy of the options, as text; ZpSetOptions receives an 8-bit
// form of it built for that one call, and what the library writes into that
// form is copied back here.
struct ZipOptions {
    QString date;
    QString rootFolder;
    QString tempFolder;
    qint32 fEncrypt = 0;
    qint32 fStripFolders = 0;
    qint32 fUpdate = 0;
    qint32 fFreshen = 0;
    qint32 fComment = 0;
    qint32 fRecurse = 0;
    qint32 fAfterDate = 0;
    qint32 fBeforeDate = 0;
    quint8 fLevel = 0;
};

// The record handed to ZpInit: the addresses of the four callbacks.
using ZipCallbacks = ZpCallbacks;

// The packing settings. The program has one set (settings()) for its whole
// run and never resets it: each setting keeps the last value assigned to it,
// and archivePath and fileNames also keep what the library wrote into them
// during the last call.
struct PackingSettings {
    QString archivePath;        // full path of the archive to write
    qint16 fileCount = 0;       // used slots of fileNames, from slot 0
    ZipFileList fileNames;      // what to pack
    QString rootFolder;         // base folder: relative names resolve against it
    QString sinceDate;          // "YYYY-MM-DD" for the library's date filters
    QString tempFolder;         // passed on; the library writes beside the archive
    qint16 stripFolders = 0;    // entries under their bare file names
    qint16 recurseFolders = 0;  // descend into folders
    qint16 updateOnly = 0;      // add new, replace only older entries
    qint16 freshenOnly = 0;     // replace only older existing entries
    qint16 encryptFiles = 0;    // encrypt with a password asked through the prompt
    qint16 askComment = 0;      // ask for an archive comment through the prompt
    qint16 compressionLevel = 0; // the character code '0' (store) to '9'

    // Back to the state at start: every number 0, every string null. The
    // program never calls it; tests and benchmarks start afresh with it.
    void reset() { *this = PackingSettings(); }
};

// The one set of settings, for the whole program.
PackingSettings &settings();

// The records the module keeps for the library, as the last PackZip() left them.
const ZipCallbacks &zipCallbacks();
const ZipOptions &zipOptions();

// ---- Result codes ------------------------------------------------------------
// PackZip returns the library's code (0 success, the ZE_ codes of
// zip32/zip32.h), or one of these, which the library never returns:
inline constexpr qint32 ResultLibraryNotFound = -1; // libzip32.so or one of its entries missing
inline constexpr qint32 ResultAlreadyRunning = -2;  // a packing is already running
inline constexpr qint32 ResultLibraryDamaged = -3;  // the only libzip32.so found is not a whole library for this computer
inline constexpr qint32 ResultLibraryWithoutEntries = -4; // a library of that name lacks the zip entries

// Assigns the settings for packing one saved script, as "Save Zip Next"
// does before each PackZip(): the packing options first (entry under its
// bare name, level '9', nothing else), then the count of one, the archive,
// the file and the root folder.
void assignSaveNextSettings(const QString &archive, const QString &savedFile, const QString &root);

// Packs the files named by the settings, on the calling thread. Returns 0
// on success. Nothing is packed and nothing is shown when the library is
// missing (ResultLibraryNotFound), damaged (ResultLibraryDamaged) or
// without the zip entries (ResultLibraryWithoutEntries), or when
// a packing started earlier has not finished yet (ResultAlreadyRunning).
qint32 PackZip();

// A short reason in plain words, for a message box.
QString describeResult(qint32 code);
// The same for a packing of `packedFile` into `archive` that has just
// ended: where the code alone is vague, the reason is found by looking at
// the two paths (a folder or a read-only file in the archive's place, a
// folder that is missing or cannot be written, an archive that would be
// the packed file itself, data before an archive), or else the system's
// reason for `systemError` (an errno value, 0 for none) is added.
QString describeResult(qint32 code, const QString &archive, const QString &packedFile, int systemError);

struct PackResult {
    qint32 code = 0; // PackZip()'s result
    QString message; // describeResult(code)
    bool packed() const { return code == 0; }
};

// "Save Zip Next"'s packing of the script it has just saved: assigns the
// settings (assignSaveNextSettings) and calls PackZip().
PackResult packSavedScript(const QString &archive, const QString &savedFile, const QString &root);

struct PackRun;

// One packing run in a worker thread, so that the thread that starts it
// (the window's) stays free. It packs a copy of settings() taken at
// start(); what the library writes into the archive path and the file
// names comes back into settings() when it has finished. The comment and
// password questions are put to the prompt on the starting thread while
// the worker waits for the answer. Progress, cancel and the result reach
// the starting thread as signals.
class BackgroundPack : public QObject
{
    Q_OBJECT
public:
    explicit BackgroundPack(QObject *parent = nullptr);
    // Cancels a packing still running and waits for the worker.
    ~BackgroundPack() override;

    // Starts packing. Returns 0 when the worker has started, finished()
    // follows; otherwise the reason nothing started (ResultAlreadyRunning,
    // ResultLibraryNotFound, ResultLibraryDamaged,
    // ResultLibraryWithoutEntries), and no signal follows.
    qint32 start();
    bool isRunning() const { return m_thread != nullptr; }
    // Asks the library to stop writing the archive, which it then leaves as
    // it was; a question waiting for an answer is given up as on Cancel.
    void cancel();

    // For tests: runs on the worker at the start of every packing, before
    // the library is called; a test holds the packing there for as long as
    // it needs. Empty: nothing runs.
    static void setWorkerStartHook(std::function<void()> hook);

signals:
    // The share of the archive written, 0 to 100, each value once.
    void progressChanged(int percent);
    // The library's result, as PackZip() would have returned it, and
    // (unless it is 0) the reason in plain words, as describeResult() with
    // the paths and the system's reason gives it.
    void finished(qint32 code, const QString &reason);

    // From the worker; each reaches this object's thread queued.
    void workerProgress(int percent, QPrivateSignal);
    void questionAsked(QPrivateSignal);
    void workerDone(QPrivateSignal);

private:
    friend struct PackRun;

    void answerQuestion();
    void workerEnded();

    std::shared_ptr<PackRun> m_run;
    std::unique_ptr<std::thread> m_thread;
};

// The window's one-line text prompt: the answer, or std::nullopt on Cancel.
// Without one, the comment and password callbacks answer as on Cancel.
using Prompt = std::function<std::optional<QString>(const QString &prompt)>;
void setPrompt(Prompt prompt);

// Where the library is looked up. By default "libzip32.so" beside the
// executable, then in the installed library folder (../lib from the
// program's folder), then the system's usual search for "zip32". For tests: set
// before packing; a later call drops the library found so far (it stays
// loaded) and looks again at the next PackZip().
void setLibraryFileName(const QString &fileNameOrPath);

// ---- Callbacks the library calls -----------------------------------------------
// Nothing is shown or kept; returns 0.
int32_t OnZipPrint(const char *text, int32_t length);
// On a BackgroundPack's worker, the prompts below are put to the starting
// thread, and the worker waits for the answer.
// Prompts "Enter the comment"; writes at most ZP_COMMENT_BUFFER_SIZE - 1
// bytes of the entry and a zero into the buffer. Returns 1. Cancel or an
// empty entry leave the buffer untouched.
int32_t OnZipComment(char *comment);
// Prompts "Please Enter The Password!"; on a non-empty entry that fits in
// size - 1 bytes, zeroes bytes 0 to size - 1, writes the entry and returns
// 0. Cancel, an empty entry or one too long for the buffer return 1 and
// leave the buffer untouched. Never touches a byte at index
// ZP_COMMENT_BUFFER_SIZE or beyond, whatever the size.
int32_t OnZipPassword(char *password, int32_t size, const char *prompt, const char *name);
// Returns 0: never aborts.
int32_t OnZipService(const char *name, int32_t size);

} // namespace VBZipBas
