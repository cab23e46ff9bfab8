// Packing speed: PackZip (libzip32.so beside this program, level "9")
// against Info-ZIP's `zip -9 -j` on the same generated scripts, in the same
// run. Prints both times (best of several interleaved runs) and the ratio;
// a ratio of 1.0 or less means PackZip is at least as fast.
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

// A model-like script of about `size` bytes: clumps of vertices with
// texture coordinates, quads over them, colours and textures; CR LF lines.
QByteArray generateScript(qsizetype size)
{
    QByteArray out;
    out.reserve(size + 256);
    quint32 seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto coord = [&next] { return (double(next() % 200001) - 100000.0) / 10000.0; };
    char line[160];
    out += "ModelBegin\r\n";
    int clump = 0;
    while (out.size() < size) {
        ++clump;
        std::snprintf(line, sizeof line, " ClumpBegin # part %d\r\n  Color %.3f %.3f %.3f\r\n"
                                         "  Surface 0.6 0.4 0.0\r\n  Texture wood%u\r\n",
                      clump, (next() % 1000) / 1000.0, (next() % 1000) / 1000.0,
                      (next() % 1000) / 1000.0, next() % 9 + 1);
        out += line;
        const int vertices = 40 + int(next() % 80) / 4 * 4;
        for (int v = 0; v < vertices; ++v) {
            std::snprintf(line, sizeof line, "  Vertex %.4f %.4f %.4f UV %.3f %.3f\r\n", coord(),
                          coord(), coord(), (next() % 1000) / 1000.0, (next() % 1000) / 1000.0);
            out += line;
        }
        for (int q = 1; q + 3 <= vertices; q += 4) {
            std::snprintf(line, sizeof line, "  Quad %d %d %d %d\r\n", q, q + 1, q + 2, q + 3);
            out += line;
        }
        out += " ClumpEnd\r\n";
    }
    out += "ModelEnd\r\n";
    return out;
}

double packWithPackZip(const QString &file, const QString &archive)
{
    QFile::remove(archive);
    QElapsedTimer timer;
    timer.start();
    const VBZipBas::PackResult packing = VBZipBas::packSavedScript(archive, file, QStringLiteral("/"));
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!packing.packed()) {
        std::fprintf(stderr, "PackZip failed: %s\n", qPrintable(packing.message));
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
        if (!out.open(QIODevice::WriteOnly) || out.write(generateScript(c.size)) < c.size)
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
