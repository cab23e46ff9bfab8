// Finding and loading libzip32.so and resolving its entries.
#include "zip/packinternals.h"

#include "zip/libraryfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace VBZipBas {
namespace detail {

Library &zipLibrary()
{
    static Library lib;
    return lib;
}

namespace {

// The entries of a loaded library, and the names of those it lacks.
Entries resolveEntries(QLibrary &library, QStringList *missing)
{
    Entries e;
    e.init = reinterpret_cast<InitFunction>(library.resolve("ZpInit"));
    e.setOptions = reinterpret_cast<SetOptionsFunction>(library.resolve("ZpSetOptions"));
    e.archive = reinterpret_cast<ArchiveFunction>(library.resolve("ZpArchive"));
    e.setProgress = reinterpret_cast<SetProgressFunction>(library.resolve("ZpSetProgress"));
    e.systemError = reinterpret_cast<SystemErrorFunction>(library.resolve("ZpSystemError"));
    const std::pair<bool, const char *> required[] = {
        {e.init != nullptr, "ZpInit"}, {e.setOptions != nullptr, "ZpSetOptions"}, {e.archive != nullptr, "ZpArchive"}};
    for (const auto &[found, name] : required)
        if (!found)
            *missing << QString::fromLatin1(name);
    return e;
}

} // namespace

qint32 loadLibrary()
{
    Library &lib = zipLibrary();
    if (lib.library)
        return 0;
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
    lib.problem.clear();
    qint32 failure = ResultLibraryNotFound;
    for (const QString &name : std::as_const(candidates)) {
        if (name.contains(QLatin1Char('/')) && QFileInfo::exists(name)) {
            const QString problem = libraryFileProblem(name);
            if (!problem.isEmpty()) {
                lib.problem = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(name), problem);
                failure = ResultLibraryDamaged;
                continue;
            }
        }
        auto candidate = std::make_unique<QLibrary>(name);
        if (!candidate->load())
            continue;
        QStringList missing;
        const Entries entries = resolveEntries(*candidate, &missing);
        if (!missing.isEmpty()) {
            // Not the zip library: unloaded, so that the file put right in
            // its place is loaded at the next call.
            lib.problem = QStringLiteral("the file found as the zip library, %1, lacks the zip entries %2")
                              .arg(QDir::toNativeSeparators(candidate->fileName()), missing.join(QStringLiteral(", ")));
            failure = ResultLibraryWithoutEntries;
            candidate->unload();
            continue;
        }
        lib.library = std::move(candidate);
        lib.entries = entries;
        return 0;
    }
    return failure;
}

} // namespace detail

using namespace detail;

void setLibraryFileName(const QString &fileNameOrPath)
{
    Library &lib = zipLibrary();
    lib.fileName = fileNameOrPath;
    lib.library.reset();
    lib.entries = Entries{};
    lib.problem.clear();
}

} // namespace VBZipBas
