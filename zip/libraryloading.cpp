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

} // namespace detail

using namespace detail;

void setLibraryFileName(const QString &fileNameOrPath)
{
    Library &lib = zipLibrary();
    lib.fileName = fileNameOrPath;
    lib.library.reset();
    lib.entries = Entries{};
    lib.damage.clear();
}

} // namespace VBZipBas
