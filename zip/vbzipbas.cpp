#include "zip/vbzipbas.h"

#include "zip/libraryfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace VBZipBas {
namespace {

// The options' flags and level, from the module's record to the library's
// 8-bit form and back: both have the same field names.
template <typename To, typename From>
void copyFlags(To &to, const From &from)
{
    to.fEncrypt = from.fEncrypt;
    to.fStripFolders = from.fStripFolders;
    to.fUpdate = from.fUpdate;
    to.fFreshen = from.fFreshen;
    to.fComment = from.fComment;
    to.fRecurse = from.fRecurse;
    to.fAfterDate = from.fAfterDate;
    to.fBeforeDate = from.fBeforeDate;
    to.fLevel = static_cast<decltype(to.fLevel)>(from.fLevel);
}

using InitFunction = int32_t (*)(ZpCallbacks *);
using SetOptionsFunction = int32_t (*)(ZpOptions *);
using ArchiveFunction = int32_t (*)(int32_t, char *, ZpNames *);
using SetProgressFunction = int32_t (*)(ZpProgress *);

// The library's entries; setProgress is optional.
struct Entries {
    InitFunction init = nullptr;
    SetOptionsFunction setOptions = nullptr;
    ArchiveFunction archive = nullptr;
    SetProgressFunction setProgress = nullptr;
};

struct Library {
    QString fileName; // empty: the usual lookup
    std::unique_ptr<QLibrary> library; // never unloaded
    Entries entries;
    QString damage; // the last file refused as damaged, and why
};

Library &zipLibrary()
{
    static Library lib;
    return lib;
}

Prompt &prompt()
{
    static Prompt p;
    return p;
}

// Set while a packing runs, from its start on the owning thread until its
// end is known there.
std::atomic<bool> g_running = false;
// Written by the packing that runs; read once it has ended.
ZipCallbacks g_callbacks{};
ZipOptions g_options;
std::function<void()> g_workerStartHook;

// Loads the library on first use and resolves its entries; a library or
// entry not found is looked for again at the next call. A file named by
// path is checked before the loader maps it: a damaged one is passed over
// as if missing. Returns 0, ResultLibraryNotFound or ResultLibraryDamaged.
qint32 loadLibrary()
{
    Library &lib = zipLibrary();
    Entries &e = lib.entries;
    if (e.init && e.setOptions && e.archive)
        return 0;
    if (!lib.library) {
        QStringList candidates;
        if (!lib.fileName.isEmpty()) {
            candidates << lib.fileName;
        } else {
            if (QCoreApplication::instance()) {
                const QString bin = QCoreApplication::applicationDirPath();
                for (const QString &dir : {bin, bin + "/" ORVANE_ZIP32_FROM_BINDIR}) {
                    const QString file = QFileInfo(dir + "/libzip32.so").absoluteFilePath();
                    if (QFileInfo::exists(file))
                        candidates << file;
                }
            }
            // The system's own search; its folders are the system's to keep sound.
            candidates << QStringLiteral("zip32");
        }
        lib.damage.clear();
        for (const QString &name : std::as_const(candidates)) {
            if (name.contains(QLatin1Char('/')) && QFileInfo::exists(name)) {
                const QString problem = libraryFileProblem(name);
                if (!problem.isEmpty()) {
                    lib.damage = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), problem);
                    continue;
                }
            }
            auto candidate = std::make_unique<QLibrary>(name);
            if (candidate->load()) {
                lib.library = std::move(candidate);
                break;
            }
        }
        if (!lib.library)
            return lib.damage.isEmpty() ? ResultLibraryNotFound : ResultLibraryDamaged;
    }
    if (!e.init)
        e.init = reinterpret_cast<InitFunction>(lib.library->resolve("ZpInit"));
    if (!e.setOptions)
        e.setOptions = reinterpret_cast<SetOptionsFunction>(lib.library->resolve("ZpSetOptions"));
    if (!e.archive)
        e.archive = reinterpret_cast<ArchiveFunction>(lib.library->resolve("ZpArchive"));
    if (!e.setProgress)
        e.setProgress = reinterpret_cast<SetProgressFunction>(lib.library->resolve("ZpSetProgress"));
    return e.init && e.setOptions && e.archive ? 0 : ResultLibraryNotFound;
}

// An 8-bit copy of a string for one library call; a null string has no copy
// and is passed as a null pointer.
class Ansi
{
public:
    Ansi() = default;
    explicit Ansi(const QString &s)
    {
        if (!s.isNull()) {
            const QByteArray bytes = s.toLocal8Bit();
            m_bytes = std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
            m_null = false;
        }
    }
    char *data() { return m_null ? nullptr : m_bytes.data(); }

private:
    std::string m_bytes;
    bool m_null = true;
};

QString fromAnsi(const char *s)
{
    return s ? QString::fromLocal8Bit(s) : QString();
}

std::optional<QString> askHere(const QString &text)
{
    if (!prompt())
        return std::nullopt;
    return prompt()(text);
}

std::optional<QString> ask(const QString &text);

// The longest leading part of s whose 8-bit form fits in limit bytes,
// cut between characters.
QByteArray fitLocal8Bit(const QString &s, qsizetype limit)
{
    QByteArray all = s.toLocal8Bit();
    if (all.size() <= limit)
        return all;
    auto prefix = [&s](qsizetype k) {
        if (k > 0 && k < s.size() && s.at(k - 1).isHighSurrogate())
            --k;
        return s.left(k).toLocal8Bit();
    };
    qsizetype lo = 0, hi = std::min<qsizetype>(s.size(), limit);
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (prefix(mid).size() <= limit)
            lo = mid;
        else
            hi = mid - 1;
    }
    return prefix(lo);
}

void wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty()) {
        volatile char *p = bytes.data();
        for (qsizetype i = 0; i < bytes.size(); ++i)
            p[i] = 0;
    }
}

} // namespace

void setPrompt(Prompt p)
{
    prompt() = std::move(p);
}

void setLibraryFileName(const QString &fileNameOrPath)
{
    Library &lib = zipLibrary();
    lib.fileName = fileNameOrPath;
    lib.library.reset();
    lib.entries = Entries{};
    lib.damage.clear();
}

PackingSettings &settings()
{
    static PackingSettings s;
    return s;
}

const ZipCallbacks &zipCallbacks()
{
    return g_callbacks;
}

const ZipOptions &zipOptions()
{
    return g_options;
}

void assignSaveNextSettings(const QString &archive, const QString &savedFile, const QString &root)
{
    PackingSettings &s = settings();
    s.sinceDate = QString();
    s.stripFolders = 1;
    s.recurseFolders = 0;
    s.updateOnly = 0;
    s.freshenOnly = 0;
    s.encryptFiles = 0;
    s.askComment = 0;
    s.compressionLevel = '9';
    s.fileCount = 1;
    s.archivePath = archive;
    s.fileNames[0] = savedFile;
    s.rootFolder = root;
}

namespace {

// The three library calls for the settings `s`, on the calling thread; what
// the library writes into the file names and the archive path comes back
// into `s`. `progress` (or none) is registered when the library offers it.
qint32 runLibrary(const Entries &lib, PackingSettings &s, ZpProgress *progress)
{
    // The results of ZpInit and ZpSetOptions are not examined: what they
    // refuse, ZpArchive refuses in turn, and its result is PackZip's.
    g_callbacks = ZipCallbacks{&OnZipPrint, &OnZipComment, &OnZipPassword, &OnZipService};
    lib.init(&g_callbacks);
    if (lib.setProgress)
        lib.setProgress(progress);

    g_options = ZipOptions{
        .date = s.sinceDate,
        .rootFolder = s.rootFolder,
        .tempFolder = s.tempFolder,
        .fEncrypt = s.encryptFiles,
        .fStripFolders = s.stripFolders,
        .fUpdate = s.updateOnly,
        .fFreshen = s.freshenOnly,
        .fComment = s.askComment,
        .fRecurse = s.recurseFolders,
        .fAfterDate = 0,
        .fBeforeDate = 0,
        .fLevel = static_cast<quint8>(s.compressionLevel),
    };
    {
        // The 8-bit form lives for this one call; what the library writes
        // into it comes back into the module's record.
        Ansi date(g_options.date), root(g_options.rootFolder), temp(g_options.tempFolder);
        ZpOptions ansi{};
        ansi.date = date.data();
        ansi.rootFolder = root.data();
        ansi.tempFolder = temp.data();
        copyFlags(ansi, g_options);
        lib.setOptions(&ansi);
        g_options.date = fromAnsi(ansi.date);
        g_options.rootFolder = fromAnsi(ansi.rootFolder);
        g_options.tempFolder = fromAnsi(ansi.tempFolder);
        copyFlags(g_options, ansi);
    }

    std::array<Ansi, ZP_MAX_FILES> names;
    ZpNames list{};
    for (size_t i = 0; i < names.size(); ++i) {
        names[i] = Ansi(s.fileNames[i]);
        list.name[i] = names[i].data();
    }
    Ansi path(s.archivePath);
    char *pathBytes = path.data();
    const qint32 result = lib.archive(s.fileCount, pathBytes, &list);
    for (size_t i = 0; i < names.size(); ++i)
        s.fileNames[i] = fromAnsi(list.name[i]);
    s.archivePath = fromAnsi(pathBytes);
    return result;
}

} // namespace

qint32 PackZip()
{
    if (g_running.exchange(true))
        return ResultAlreadyRunning;
    const auto done = qScopeGuard([] { g_running = false; });
    if (const qint32 missing = loadLibrary())
        return missing;
    // A packing on this thread reports no progress and cannot be cancelled.
    return runLibrary(zipLibrary().entries, settings(), nullptr);
}

// ---- BackgroundPack ------------------------------------------------------------

// What the starting thread and the worker share for one packing. The
// worker reaches the starting thread only through BackgroundPack's queued
// signals; everything else they share is guarded by `mutex` or atomic.
struct PackRun {
    BackgroundPack *owner = nullptr; // outlives the worker: its destructor waits for it
    Entries entries;
    PackingSettings settings; // the worker's copy; read by the owner once the worker has ended
    qint32 result = 0;
    std::atomic<bool> cancelled = false;
    int lastPercent = -1; // the worker's own

    // A question put to the starting thread, and its answer.
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<QString> question;
    bool answered = false;
    std::optional<QString> answer;

    // On the worker: the prompt runs on the owner's thread, which never
    // waits for the worker while the worker waits here, except in the
    // owner's destructor, which cancels first and so wakes it.
    std::optional<QString> askOwner(const QString &text)
    {
        std::unique_lock lock(mutex);
        if (cancelled)
            return std::nullopt;
        question = text;
        answered = false;
        answer.reset();
        lock.unlock();
        emit owner->questionAsked(BackgroundPack::QPrivateSignal());
        lock.lock();
        wake.wait(lock, [this] { return answered || cancelled; });
        question.reset();
        if (!answered)
            return std::nullopt;
        return std::exchange(answer, std::nullopt);
    }

    void reportProgress(double fraction)
    {
        const int percent = std::clamp(int(fraction * 100.0), 0, 100);
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        emit owner->workerProgress(percent, BackgroundPack::QPrivateSignal());
    }

    void cancel()
    {
        {
            const std::lock_guard lock(mutex);
            cancelled = true;
        }
        wake.notify_all();
    }
};

namespace {

// The packing whose library calls run on this thread, if any.
thread_local PackRun *t_run = nullptr;

void reportProgress(double fraction, void *state)
{
    static_cast<PackRun *>(state)->reportProgress(fraction);
}

int32_t askCancel(void *state)
{
    return static_cast<PackRun *>(state)->cancelled ? 1 : 0;
}

std::optional<QString> ask(const QString &text)
{
    if (t_run)
        return t_run->askOwner(text);
    return askHere(text);
}

} // namespace

BackgroundPack::BackgroundPack(QObject *parent) : QObject(parent)
{
    connect(this, &BackgroundPack::workerProgress, this, &BackgroundPack::progressChanged, Qt::QueuedConnection);
    connect(this, &BackgroundPack::questionAsked, this, &BackgroundPack::answerQuestion, Qt::QueuedConnection);
    connect(this, &BackgroundPack::workerDone, this, &BackgroundPack::workerEnded, Qt::QueuedConnection);
}

BackgroundPack::~BackgroundPack()
{
    if (!m_thread)
        return;
    m_run->cancel();
    m_thread->join();
    g_running = false;
}

void BackgroundPack::setWorkerStartHook(std::function<void()> hook)
{
    g_workerStartHook = std::move(hook);
}

qint32 BackgroundPack::start()
{
    if (m_thread || g_running.exchange(true))
        return ResultAlreadyRunning;
    if (const qint32 missing = loadLibrary()) {
        g_running = false;
        return missing;
    }
    m_run = std::make_shared<PackRun>();
    m_run->owner = this;
    m_run->entries = zipLibrary().entries;
    m_run->settings = settings();
    m_thread = std::make_unique<std::thread>([run = m_run, hook = g_workerStartHook] {
        if (hook)
            hook();
        t_run = run.get();
        ZpProgress progress{&reportProgress, &askCancel, run.get()};
        run->result = runLibrary(run->entries, run->settings, &progress);
        t_run = nullptr;
        emit run->owner->workerDone(QPrivateSignal());
    });
    return 0;
}

void BackgroundPack::cancel()
{
    if (m_run)
        m_run->cancel();
}

void BackgroundPack::answerQuestion()
{
    if (!m_run)
        return;
    std::unique_lock lock(m_run->mutex);
    if (!m_run->question || m_run->answered || m_run->cancelled)
        return;
    const QString text = *m_run->question;
    lock.unlock();
    std::optional<QString> reply = askHere(text);
    lock.lock();
    m_run->answer = std::move(reply);
    m_run->answered = true;
    lock.unlock();
    m_run->wake.notify_all();
}

void BackgroundPack::workerEnded()
{
    if (!m_thread)
        return;
    m_thread->join();
    m_thread.reset();
    PackingSettings &s = settings();
    s.archivePath = m_run->settings.archivePath;
    s.fileNames = m_run->settings.fileNames;
    const qint32 result = m_run->result;
    m_run.reset();
    g_running = false;
    emit finished(result);
}

PackResult packSavedScript(const QString &archive, const QString &savedFile, const QString &root)
{
    assignSaveNextSettings(archive, savedFile, root);
    const qint32 code = PackZip();
    return {code, describeResult(code)};
}

QString describeResult(qint32 code)
{
    switch (code) {
    case ZE_OK:
        return QStringLiteral("the archive was written");
    case ResultLibraryNotFound:
        return QStringLiteral("the zip library could not be found");
    case ResultAlreadyRunning:
        return QStringLiteral("another archive is still being written");
    case ResultLibraryDamaged:
        return QStringLiteral("the zip library is damaged or made for another computer (%1)").arg(zipLibrary().damage);
    case ZE_FORM:
        return QStringLiteral("the archive path holds a file that is not a zip archive");
    case ZE_MEM:
        return QStringLiteral("there was not enough memory");
    case ZE_LOGIC:
        return QStringLiteral("the zip library failed unexpectedly");
    case ZE_ABORT:
        return QStringLiteral("the packing was cancelled");
    case ZE_READ:
        return QStringLiteral("a file could not be read");
    case ZE_NONE:
        return QStringLiteral("there was nothing to pack");
    case ZE_WRITE:
        return QStringLiteral("the archive could not be written");
    case ZE_CREAT:
        return QStringLiteral("the archive could not be created in its folder");
    case ZE_PARMS:
        return QStringLiteral("the zip library refused the settings or a file name");
    case ZE_OPEN:
        return QStringLiteral("a file to pack could not be found or opened");
    case ZE_CRYPT:
        return QStringLiteral("encryption is not available");
    default:
        return QStringLiteral("the zip library reported error %1").arg(code);
    }
}

namespace {

// Whether the caller may replace or create files at `path`: by the mode
// bits as well as by the system's answer, which lets root write anything.
bool writable(const QFileInfo &info)
{
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

// Whether the file holds a zip archive's end record after other data.
bool dataBeforeArchive(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(4);
    if (start == QByteArrayLiteral("PK\3\4") || start == QByteArrayLiteral("PK\5\6"))
        return false;
    // The end record lies within the last 64 KB (and 22 bytes) of an archive.
    const qint64 tail = std::min<qint64>(file.size(), 0x10000 + 22);
    return file.seek(file.size() - tail) && file.read(tail).contains(QByteArrayLiteral("PK\5\6"));
}

} // namespace

QString describeResult(qint32 code, const QString &archive, const QString &packedFile)
{
    const QFileInfo target(archive);
    const QFileInfo folder(target.absolutePath());
    if (code != ZE_OK && target.isFile() && QFileInfo(packedFile).isFile()
        && target.canonicalFilePath() == QFileInfo(packedFile).canonicalFilePath())
        return QStringLiteral("the archive would be the script itself: both have the same name in the "
                              "same folder, and the script is not replaced by its own archive");
    switch (code) {
    case ZE_CREAT:
        if (target.isDir())
            return QStringLiteral("a folder has the archive's name");
        if (target.exists() && !writable(target))
            return QStringLiteral("the archive is read-only");
        if (!folder.exists())
            return QStringLiteral("its folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath()));
        if (!folder.isDir())
            return QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath()));
        if (!writable(folder))
            return QStringLiteral("its folder %1 is read-only").arg(QDir::toNativeSeparators(folder.filePath()));
        break;
    case ZE_FORM:
        if (dataBeforeArchive(archive))
            return QStringLiteral("the file there holds other data before its zip archive, which "
                                  "rewriting it would lose; it was left as it was");
        break;
    default:
        break;
    }
    return describeResult(code);
}

int32_t OnZipPrint(const char *, int32_t)
{
    return 0;
}

int32_t OnZipComment(char *comment)
{
    if (!comment)
        return 1;
    const std::optional<QString> entry = ask(QStringLiteral("Enter the comment"));
    if (!entry || entry->isEmpty())
        return 1;
    const QByteArray bytes = fitLocal8Bit(*entry, ZP_COMMENT_BUFFER_SIZE - 1);
    std::memcpy(comment, bytes.constData(), static_cast<size_t>(bytes.size()));
    comment[bytes.size()] = '\0';
    return 1;
}

int32_t OnZipPassword(char *password, int32_t size, const char *, const char *)
{
    if (!password || size < 2)
        return 1; // no room for a character and the zero
    // No callback buffer is taken to be longer than the comment buffer.
    const qsizetype n = std::min<qsizetype>(size, ZP_COMMENT_BUFFER_SIZE);
    std::optional<QString> entry = ask(QStringLiteral("Please Enter The Password!"));
    if (!entry || entry->isEmpty())
        return 1;
    QByteArray bytes = entry->toLocal8Bit();
    entry->fill(QChar(0));
    // A cut password would lock the archive with a password the user never
    // typed: refuse it instead.
    const bool fits = bytes.size() <= n - 1;
    if (fits) {
        std::memset(password, 0, static_cast<size_t>(n));
        std::memcpy(password, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    wipe(bytes);
    return fits ? 0 : 1;
}

int32_t OnZipService(const char *, int32_t)
{
    return 0;
}

} // namespace VBZipBas
