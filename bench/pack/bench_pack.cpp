// Packing speed: PackZip (libzip32.so beside this program, level "9")
// against Info-ZIP's `zip -9 -j` on the same generated scripts, in the same
// run. Prints both times (best of several interleaved runs) and the ratio;
// a ratio of 1.0 or less means PackZip is at least as fast.
#include "support/scriptgen.h"
#include "zip/vbzipbas.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

double packWithPackZip(const QString &file, const QString &archive)
{
    QFile::remove(archive);
    QElapsedTimer timer;
    timer.start();
    VBZipBas::assignSaveNextSettings(archive, file, QStringLiteral("/"));
    const qint32 code = VBZipBas::PackZip();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (code != 0) {
        std::fprintf(stderr, "PackZip failed: %s\n", qPrintable(VBZipBas::describeResult(code)));
        std::exit(1);
    }
    return seconds;
}

double packWithZip(const QString &zip, const QString &file, const QString &archive)
{
    QFile::remove(archive);
    QElapsedTimer timer;
    timer.start();
    const int rc = QProcess::execute(zip, {"-9", "-j", "-q", archive, file});
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (rc != 0) {
        std::fprintf(stderr, "zip failed with %d\n", rc);
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString zip = QStandardPaths::findExecutable("zip");
    if (zip.isEmpty()) {
        std::fprintf(stderr, "bench_pack: the program `zip` is missing (Debian package zip)\n");
        return 1;
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    struct Case {
        const char *label;
        qsizetype size;
        int runs;
    };
    const Case cases[] = {{"1 MB", 1 << 20, 7}, {"20 MB", 20 << 20, 3}};
    std::printf("pack: PackZip (level \"9\") vs zip -9 -j, best of interleaved runs\n");
    for (const Case &c : cases) {
        const QString file = dir.filePath(QString("house%1.rwx").arg(c.size >> 20));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(orvane_test::generateScript({.size = c.size}).toLatin1()) < c.size)
            return 1;
        out.close();
        double ours = std::numeric_limits<double>::max();
        double theirs = std::numeric_limits<double>::max();
        for (int run = 0; run < c.runs; ++run) {
            ours = std::min(ours, packWithPackZip(file, dir.filePath("ours.zip")));
            theirs = std::min(theirs, packWithZip(zip, file, dir.filePath("theirs.zip")));
        }
        std::printf("%-6s PackZip %8.3f s (%lld bytes)   zip -9 -j %8.3f s (%lld bytes)   "
                    "ratio %.2f\n",
                    c.label, ours, QFile(dir.filePath("ours.zip")).size(), theirs,
                    QFile(dir.filePath("theirs.zip")).size(), ours / theirs);
    }
    return 0;
}
