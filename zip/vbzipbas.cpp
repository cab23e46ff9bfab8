#include "zip/vbzipbas.h"

#include "zip/packinternals.h"

#include <QScopeGuard>

#include <string>

namespace VBZipBas {
namespace detail {

std::atomic<bool> g_running = false;

} // namespace detail

using namespace detail;

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

// Written by the packing that runs; read once it has ended.
ZipCallbacks g_callbacks{};
ZipOptions g_options;

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

} // namespace

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

// The three library calls for the settings `s`, on the calling thread; what
// the library writes into the file names and the archive path comes back
// into `s`. `progress` (or none) is registered when the library offers it.
qint32 detail::runLibrary(const Entries &lib, PackingSettings &s, ZpProgress *progress, int *systemError)
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
    if (systemError)
        *systemError = result != 0 && lib.systemError ? lib.systemError() : 0;
    for (size_t i = 0; i < names.size(); ++i)
        s.fileNames[i] = fromAnsi(list.name[i]);
    s.archivePath = fromAnsi(pathBytes);
    return result;
}

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

PackResult packSavedScript(const QString &archive, const QString &savedFile, const QString &root)
{
    assignSaveNextSettings(archive, savedFile, root);
    const qint32 code = PackZip();
    return {code, describeResult(code)};
}

} // namespace VBZipBas
