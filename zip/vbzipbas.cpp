#include "zip/vbzipbas.h"

#include "zip/packinternals.h"

#include <QScopeGuard>

#include <string>

namespace VBZipBas {

using namespace detail;

namespace {

// The options' flags and level, from the module's record to the library's.
void copyFlags(ZpOptions &to, const ZipOptions &from)
{
    to.fEncrypt = from.fEncrypt;
    to.fStripFolders = from.fStripFolders;
    to.fUpdate = from.fUpdate;
    to.fFreshen = from.fFreshen;
    to.fComment = from.fComment;
    to.fRecurse = from.fRecurse;
    to.fAfterDate = from.fAfterDate;
    to.fBeforeDate = from.fBeforeDate;
    to.fLevel = static_cast<char>(from.fLevel);
}

// The library's UTF-8 copy of a string for one call; a null string has no
// copy and is passed as a null pointer.
class Utf8Copy
{
public:
    Utf8Copy() = default;
    explicit Utf8Copy(const QString &s)
    {
        if (!s.isNull()) {
            const QByteArray bytes = s.toUtf8();
            m_bytes = std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
            m_null = false;
        }
    }
    char *data() { return m_null ? nullptr : m_bytes.data(); }

private:
    std::string m_bytes;
    bool m_null = true;
};

QString fromUtf8Copy(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

// The questions of the library calls on this thread, while they run.
thread_local Questions *t_questions = nullptr;

// PackZip()'s questions go to its prompt, on the same thread.
class PromptQuestions final : public Questions
{
public:
    explicit PromptQuestions(const Prompt &prompt) : m_prompt(prompt) {}
    std::optional<QString> ask(const QString &text) override
    {
        return m_prompt ? m_prompt(text) : std::nullopt;
    }

private:
    const Prompt &m_prompt;
};

} // namespace

PackingSettings &settings()
{
    static PackingSettings s;
    return s;
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

std::optional<QString> detail::ask(const QString &text)
{
    return t_questions ? t_questions->ask(text) : std::nullopt;
}

qint32 detail::runLibrary(const Entries &lib, PackingSettings &s, ZpProgress *progress, Questions *questions,
                          int *systemError)
{
    Questions *const outer = std::exchange(t_questions, questions);
    const auto restore = qScopeGuard([outer] { t_questions = outer; });

    // The results of ZpInit and ZpSetOptions are not examined: what they
    // refuse, ZpArchive refuses in turn, and its result is PackZip's.
    ZipCallbacks callbacks{&OnZipPrint, &OnZipComment, &OnZipPassword, &OnZipService};
    lib.init(&callbacks);
    if (lib.setProgress)
        lib.setProgress(progress);

    ZipOptions options{
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
        // The library's form lives for this one call; the library keeps a copy.
        Utf8Copy date(options.date), root(options.rootFolder), temp(options.tempFolder);
        ZpOptions record{};
        record.date = date.data();
        record.rootFolder = root.data();
        record.tempFolder = temp.data();
        copyFlags(record, options);
        lib.setOptions(&record);
    }

    std::array<Utf8Copy, ZP_MAX_FILES> names;
    ZpNames list{};
    for (size_t i = 0; i < names.size(); ++i) {
        names[i] = Utf8Copy(s.fileNames[i]);
        list.name[i] = names[i].data();
    }
    Utf8Copy path(s.archivePath);
    char *pathBytes = path.data();
    const qint32 result = lib.archive(s.fileCount, pathBytes, &list);
    if (systemError)
        *systemError = result != 0 && lib.systemError ? lib.systemError() : 0;
    for (size_t i = 0; i < names.size(); ++i)
        s.fileNames[i] = fromUtf8Copy(list.name[i]);
    s.archivePath = fromUtf8Copy(pathBytes);
    return result;
}

qint32 PackZip(const Prompt &prompt)
{
    Library &library = zipLibrary();
    if (library.inUse.exchange(true))
        return ResultAlreadyRunning;
    const auto done = qScopeGuard([&library] { library.inUse = false; });
    Entries entries;
    QString error;
    if (!loadLibrary(&entries, &error))
        return ResultNoLibrary;
    // A packing on this thread reports no progress and cannot be cancelled.
    PromptQuestions questions(prompt);
    return runLibrary(entries, settings(), nullptr, &questions);
}

} // namespace VBZipBas
