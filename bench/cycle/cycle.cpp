// One "Save Zip Next" click on a 200 KB and a 5 MB script, against copying
// the same bytes with cp and packing them with zip -9 -j, in the same run.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/form1.h"
#include "bench/support/benchapp.h"
#include "support/scriptgen.h"

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void measure(const char *label, qsizetype size)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("zips");
    QDir(dir.path()).mkdir("plain");
    const QString source = dir.filePath("house12.rwx");
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(orvane_test::generateScript({.size = size}).toLatin1()) < 0)
        return;
    file.close();

    Form1 window(std::make_unique<SilentDialogs>());
    window.openFile(source);
    const int rounds = 7;
    std::vector<double> ours, theirs;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        // The click saves, then packs in the background: timed to the end of the packing.
        QEventLoop packing;
        QObject::connect(&window, &Form1::packingFinished, &packing, &QEventLoop::quit);
        window.saveZipNextButton()->click();
        if (window.isPacking())
            packing.exec();
        ours.push_back(t.nsecsElapsed() / 1e6);

        const QString copy = dir.filePath(QStringLiteral("plain/house%1.rwx").arg(100 + i));
        const QString archive = dir.filePath(QStringLiteral("plain/house%1.zip").arg(100 + i));
        t.restart();
        const bool ok = run("cp", {source, copy}) && run("zip", {"-q", "-9", "-j", archive, copy});
        theirs.push_back(t.nsecsElapsed() / 1e6);
        if (!ok) {
            std::printf("%s: cp or zip failed\n", label);
            return;
        }
    }
    const double a = median(ours), b = median(theirs);
    std::printf("%-7s click %8.2f ms   cp + zip -9 -j %8.2f ms   ratio %.2f (target <= 1.0)\n", label, a, b, a / b);
}
} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    std::printf("Save Zip Next, median of 7 clicks each:\n");
    measure("200 KB", 200 * 1024);
    measure("5 MB", 5 * 1024 * 1024);
    return 0;
}
