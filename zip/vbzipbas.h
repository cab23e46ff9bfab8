#pragma once
// Packing files into a zip archive through the zip library libzip32.so.
//
// The caller assigns the settings below and calls PackZip() on its own
// thread, or hands them to a BackgroundPack, which packs a copy of them in a
// worker thread; "Save Zip Next" assigns them with assignSaveNextSettings()
// and packs in the background.
//
// The settings and the library lookup belong to the thread that owns the
// application object (the window's thread). A BackgroundPack's worker is
// handed what it needs and shares nothing else: its questions go to the
// BackgroundPack's prompt, on the thread that started it.
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

// The options as the module builds them from the settings for each
// packing, as text; ZpSetOptions receives a UTF-8 form of it built for
// that one call.
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
// during the last PackZip().
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
};

// The one set of settings, for the whole program.
PackingSettings &settings();

// ---- Result codes ------------------------------------------------------------
// PackZip returns the library's code (0 success, the ZE_ codes of
// zip32/zip32.h), or one of these, which the library never returns:
inline constexpr qint32 ResultNoLibrary = -1;      // no usable libzip32.so: missing, damaged or without the zip entries
inline constexpr qint32 ResultAlreadyRunning = -2; // a packing is already running

// Assigns the settings for packing one saved script, as "Save Zip Next"
// does before each PackZip(): the packing options first (entry under its
// bare name, level '9', nothing else), then the count of one, the archive,
// the file and the root folder.
void assignSaveNextSettings(const QString &archive, const QString &savedFile, const QString &root);

// The window's one-line text prompt: the answer, or std::nullopt on Cancel.
using Prompt = std::function<std::optional<QString>(const QString &prompt)>;

// Packs the files named by the settings, on the calling thread, and returns
// the library's result. The library's questions (password, comment) are put
// to `prompt`; without one they are answered as on Cancel. Nothing is
// packed and nothing is asked when there is no usable library
// (ResultNoLibrary; BackgroundPack::start() says why) or a packing started
// earlier has not finished yet (ResultAlreadyRunning).
qint32 PackZip(const Prompt &prompt = Prompt());

// A short reason in plain words, for a message box.
QString describeResult(qint32 code);

struct PackRun;

// One packing run in a worker thread, so that the thread that starts it
// (the window's) stays free. It packs the copy of the settings handed to
// start(). The comment and password questions are put to the prompt on the
// starting thread while the worker waits for the answer. Progress, cancel
// and the result reach the starting thread as signals.
class BackgroundPack : public QObject
{
    Q_OBJECT
public:
    // Without a prompt, the library's questions are answered as on Cancel.
    explicit BackgroundPack(Prompt prompt = Prompt(), QObject *parent = nullptr);
    // Cancels a packing still running and waits for the worker.
    ~BackgroundPack() override;

    // Starts packing `settings`. True when the worker has started:
    // finished() follows. Otherwise false, with the reason nothing started
    // in *error (another packing is running, or there is no usable zip
    // library and why), and no signal follows.
    bool start(const PackingSettings &settings, QString *error);
    bool isRunning() const { return m_thread != nullptr; }
    // Asks the library to stop writing the archive, which it then leaves as
    // it was; a question waiting for an answer is given up as on Cancel.
    void cancel();

signals:
    // The share of the archive written, 0 to 100, rising; values the
    // worker passed while this thread was busy are left out.
    void progressChanged(int percent);
    // The library's result, as PackZip() would have returned it, and
    // (unless it is 0) the reason in plain words: the code's, made precise
    // by a look at the archive's path and by the system's reason.
    void finished(qint32 code, const QString &reason);

    // From the worker; each reaches this object's thread queued.
    void workerProgress(QPrivateSignal);
    void questionAsked(QPrivateSignal);
    void workerDone(QPrivateSignal);

private:
    friend struct PackRun;

    void progressReported();
    void answerQuestion();
    void workerEnded();

    Prompt m_prompt;
    int m_percentShown = -1;
    std::shared_ptr<PackRun> m_run;
    std::unique_ptr<std::thread> m_thread;
};

// Where the library is looked up. By default "libzip32.so" beside the
// executable, then in the program's installed library folder (../lib/orvane
// from the program's folder), then the system's usual search for "zip32".
// For tests: set before packing; a later call drops the library found so far
// (it stays loaded) and looks again at the next packing.
void setLibraryFileName(const QString &fileNameOrPath);

// ---- Callbacks the library calls -----------------------------------------------
// Nothing is shown or kept; returns 0.
int32_t OnZipPrint(const char *text, int32_t length);
// The two below ask through the prompt of the packing whose library calls
// run on the calling thread: PackZip()'s, or a BackgroundPack's, put to the
// thread that started it while the worker waits for the answer. Outside a
// packing, or without a prompt, they answer as on Cancel.
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
