#include "zip/vbzipbas.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QScopedValueRollback>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

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

struct Library {
    QString fileName; // empty: the usual lookup
    std::unique_ptr<QLibrary> library; // never unloaded
    InitFunction init = nullptr;
    SetOptionsFunction setOptions = nullptr;
    ArchiveFunction archive = nullptr;
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

bool g_running = false;
ZipCallbacks g_callbacks{};
ZipOptions g_options;

// Loads the library on first use and resolves its three entries; a library
// or entry not found is looked for again at the next call.
bool loadLibrary()
{
    Library &lib = zipLibrary();
    if (lib.init && lib.setOptions && lib.archive)
        return true;
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
            candidates << QStringLiteral("zip32");
        }
        for (const QString &name : std::as_const(candidates)) {
            auto candidate = std::make_unique<QLibrary>(name);
            if (candidate->load()) {
                lib.library = std::move(candidate);
                break;
            }
        }
        if (!lib.library)
            return false;
    }
    if (!lib.init)
        lib.init = reinterpret_cast<InitFunction>(lib.library->resolve("ZpInit"));
    if (!lib.setOptions)
        lib.setOptions = reinterpret_cast<SetOptionsFunction>(lib.library->resolve("ZpSetOptions"));
    if (!lib.archive)
        lib.archive = reinterpret_cast<ArchiveFunction>(lib.library->resolve("ZpArchive"));
    return lib.init && lib.setOptions && lib.archive;
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

std::optional<QString> ask(const QString &text)
{
    if (!prompt())
        return std::nullopt;
    return prompt()(text);
}

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
    lib.init = nullptr;
    lib.setOptions = nullptr;
    lib.archive = nullptr;
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

qint32 PackZip()
{
    if (g_running)
        return ResultAlreadyRunning;
    if (!loadLibrary())
        return ResultLibraryNotFound;
    const QScopedValueRollback running(g_running, true);
    const Library &lib = zipLibrary();
    PackingSettings &s = settings();

    // The results of ZpInit and ZpSetOptions are not examined: what they
    // refuse, ZpArchive refuses in turn, and its result is PackZip's.
    g_callbacks = ZipCallbacks{&OnZipPrint, &OnZipComment, &OnZipPassword, &OnZipService};
    lib.init(&g_callbacks);

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

int32_t OnZipPrint(const char *, int32_t)
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
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
