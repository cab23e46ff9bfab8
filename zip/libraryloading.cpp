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

bool loadLibrary(Entries *entries, QString *error)
{
    Library &lib = zipLibrary();
    if (lib.library) {
        *entries = lib.entries;
        return true;
    }
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
    *error = QStringLiteral("the zip library could not be found");
    for (const QString &name : std::as_const(candidates)) {
        QString problem;
        if (name.contains(QLatin1Char('/')) && QFileInfo::exists(name) && !checkLibraryFile(name, &problem)) {
            *error = QStringLiteral("the zip library is damaged or made for another computer (%1: %2)")
                         .arg(QDir::toNativeSeparators(name), problem);
            continue;
        }
        auto candidate = std::make_unique<QLibrary>(name);
        if (!candidate->load())
            continue;
        QStringList missing;
        const Entries found = resolveEntries(*candidate, &missing);
        if (!missing.isEmpty()) {
            // Not the zip library: unloaded, so that the file put right in
            // its place is loaded at the next call.
            *error = QStringLiteral("the file found as the zip library, %1, lacks the zip entries %2")
                         .arg(QDir::toNativeSeparators(candidate->fileName()), missing.join(QStringLiteral(", ")));
            candidate->unload();
            continue;
        }
        lib.library = std::move(candidate);
        lib.entries = found;
        *entries = found;
        error->clear();
        return true;
    }
    return false;
}

} // namespace detail

using namespace detail;

void setLibraryFileName(const QString &fileNameOrPath)
{
    Library &lib = zipLibrary();
    lib.fileName = fileNameOrPath;
    lib.library.reset();
    lib.entries = Entries{};
}

} // namespace VBZipBas
