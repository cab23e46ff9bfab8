// orvane-convert's speed, the whole program as a user runs it: 200 copies of
// the largest jointed sample script (a generated stand-in of the same size
// when the samples are not there) converted to .glb in one call, on one core
// and on all of them, and 200 copies of a script twice that size on one
// core. Each time is the best of a few runs; a plain copy of the same files
// is the floor. Prints the time per object, the throughput, the speed-up on
// all cores and how the time per megabyte grows with the script (1.0 is
// linear). The goal is 2 ms an object or less on one core. On a shared
// machine the wall time includes waiting for the processor and the disk, so
// the processor time the program used (user + system) is printed beside it.
#include "support/scriptgen.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int kCopies = 200;
constexpr int kRuns = 3;

QByteArray sampleScript(QString *label)
{
    QFile sample(QStringLiteral(ORVANE_SAMPLES_DIR "/sv-nutcracker1avblue.rwx"));
    if (sample.open(QIODevice::ReadOnly)) {
        *label = QStringLiteral("sv-nutcracker1avblue.rwx");
        return sample.readAll();
    }
    *label = QStringLiteral("a generated stand-in (no samples folder)");
    return orvane_test::generateScript({.size = 112 * 1024}).toLatin1();
}

// kCopies files of `script` in a new folder `name`; their paths.
QStringList writeCopies(const QDir &root, const QString &name, const QByteArray &script)
{
    root.mkpath(name);
    QStringList paths;
    for (int i = 0; i < kCopies; ++i) {
        const QString path = root.filePath(QStringLiteral("%1/object%2.rwx").arg(name).arg(i, 3, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
            std::exit(1);
        paths << path;
    }
    return paths;
}

double seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Processor time (user + system) of the waited-for child processes so far.
double childProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto toSeconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

struct Timing {
    double wall = std::numeric_limits<double>::max();
    double processor = std::numeric_limits<double>::max();
};

Timing convertAll(const QStringList &inputs, const QDir &root, int jobs)
{
    Timing best;
    for (int run = 0; run < kRuns; ++run) {
        QDir(root.filePath(QStringLiteral("out"))).removeRecursively();
        const double processorBefore = childProcessorSeconds();
        QElapsedTimer timer;
        timer.start();
        const int code = QProcess::execute(QStringLiteral(ORVANE_CONVERT),
                                           QStringList{"-q", "-j", QString::number(jobs), "-o", root.filePath("out")} + inputs);
        best.wall = std::min(best.wall, seconds(timer));
        best.processor = std::min(best.processor, childProcessorSeconds() - processorBefore);
        if (code != 0) {
            std::fprintf(stderr, "orvane-convert failed with %d\n", code);
            std::exit(1);
        }
    }
    return best;
}

// Reads every input and writes its bytes to a new file: the least an
// export of it must do.
double copyAll(const QStringList &inputs, const QDir &root)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < kRuns; ++run) {
        QDir(root.filePath(QStringLiteral("copy"))).removeRecursively();
        root.mkpath(QStringLiteral("copy"));
        QElapsedTimer timer;
        timer.start();
        for (const QString &input : inputs) {
            QFile from(input);
            QFile to(root.filePath(QStringLiteral("copy/") + QFileInfo(input).fileName()));
            if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly) || to.write(from.readAll()) < 0)
                std::exit(1);
        }
        best = std::min(best, seconds(timer));
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QDir root(dir.path());
    QString label;
    const QByteArray script = sampleScript(&label);
    const QStringList single = writeCopies(root, QStringLiteral("single"), script);
    const QStringList doubled = writeCopies(root, QStringLiteral("double"), script + script);
    const int cores = QThread::idealThreadCount();
    const double mb = double(script.size()) * kCopies / (1024.0 * 1024.0);

    const double floor = copyAll(single, root);
    const Timing one = convertAll(single, root, 1);
    const Timing all = convertAll(single, root, cores);
    const Timing twice = convertAll(doubled, root, 1);
    const auto perObject = [](double s) { return 1000 * s / kCopies; };

    std::printf("convert: %d copies of %s (%lld bytes) to .glb, one call of orvane-convert, best of %d\n", kCopies,
                qPrintable(label), qint64(script.size()), kRuns);
    std::printf("  read and write the files   %7.3f s   %6.3f ms an object\n", floor, perObject(floor));
    std::printf("  1 core                     %7.3f s   %6.3f ms an object   %6.1f MB/s   %5.1f x the copy   "
                "processor %6.3f ms an object  (goal: 2 ms)\n",
                one.wall, perObject(one.wall), mb / one.wall, one.wall / floor, perObject(one.processor));
    std::printf("  %d cores                    %7.3f s   %6.3f ms an object   %6.1f MB/s   speed-up %.2f\n", cores,
                all.wall, perObject(all.wall), mb / all.wall, one.wall / all.wall);
    std::printf("  twice the script, 1 core   %7.3f s   %6.3f ms an object   processor %6.3f ms an object; "
                "time per MB vs once: %.2f (1.0 is linear)\n",
                twice.wall, perObject(twice.wall), perObject(twice.processor), (twice.processor / 2) / one.processor);
    return 0;
}
