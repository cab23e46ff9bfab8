// How long the window stops answering. A 5 ms heartbeat timer runs on the
// window's thread and records the largest gap between two of its beats
// while the window
//   1. opens a 32 MB script of faulty lines and checks it,
//   2. gets 20 keys typed into that script, each a little after the pause
//      before a check has ended, so that it lands while a check runs,
//   3. opens a clean 100 MB script and saves and packs it with one click on
//      Save Zip Next.
// Beside each stall it prints the floor measured in the same run with the
// same heartbeat: the same file opened into a pane that never checks, the
// same keys typed into it, or the file written.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "rwx/scripttext.h"
#include "bench/support/benchapp.h"
#include "editor/livechecks.h"
#include "support/scriptgen.h"

namespace {

constexpr qsizetype kMB = 1024 * 1024;
constexpr int kBeatMs = 5;
constexpr int kLongWaitMs = 600000;

// The largest gap between two beats of a timer on the window's thread.
class Heartbeat {
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kBeatMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceBeat.nsecsElapsed());
            m_sinceBeat.restart();
        });
    }
    void restart()
    {
        m_longest = 0;
        m_sinceBeat.start();
        m_timer.start();
    }
    // The longest stall in milliseconds, beyond the beat itself.
    double longestStallMs() const { return std::max(0.0, double(m_longest) / 1e6 - kBeatMs); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceBeat;
    qint64 m_longest = 0;
};

// Runs the event loop until `done` holds, for at most `limitMs`.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kBeatMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

double peakMemoryMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A model of `size` bytes whose faces all name vertices that do not exist:
// three findings a line.
QByteArray faultyScript(qsizetype size)
{
    const QByteArray line("Triangle 1 2 3\r\n");
    QByteArray bytes("ModelBegin\r\n");
    bytes.reserve(size + line.size() + 16);
    while (bytes.size() < size)
        bytes += line;
    bytes += "ModelEnd\r\n";
    return bytes;
}

// A pane like the window's that never checks: the floor for opening and typing.
std::unique_ptr<ScriptEditor> uncheckedPane(QSize size)
{
    auto pane = std::make_unique<ScriptEditor>();
    pane->liveChecks()->setPause(std::numeric_limits<int>::max());
    pane->resize(size);
    pane->show();
    return pane;
}

// Reads the file and loads it into the pane as the window opens a script.
void readInto(ScriptEditor &pane, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const DecodedScript script = decodeScript(file.readAll());
    pane.loadDocument(script.utf8, detectLineBreak(script.utf8));
}

// The longest stall while `work` runs from the event loop, followed by
// `settleMs` of the event loop.
double stallOf(Heartbeat &heartbeat, const std::function<void()> &work, int settleMs = 300)
{
    heartbeat.restart();
    QTimer::singleShot(0, work);
    runFor(settleMs);
    return heartbeat.longestStallMs();
}

// Types `keys` keys into the pane, `pauseBeforeMs(key)` apart, and returns
// the slowest key: from its arrival in the window's queue to the change of
// the text.
double typeKeys(QsciScintilla *pane, int keys, const std::function<int(int)> &pauseBeforeMs)
{
    double slowestMs = 0;
    QElapsedTimer sincePosted;
    bool waiting = false;
    const QMetaObject::Connection typed = QObject::connect(pane, &QsciScintilla::textChanged, [&] {
        if (waiting)
            slowestMs = std::max(slowestMs, msSince(sincePosted));
        waiting = false;
    });
    for (int key = 0; key < keys; ++key) {
        runFor(pauseBeforeMs(key));
        sincePosted.start();
        waiting = true;
        QCoreApplication::postEvent(pane, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
        QCoreApplication::postEvent(pane, new QKeyEvent(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
    }
    runUntil([&] { return !waiting; }, kLongWaitMs);
    QObject::disconnect(typed);
    return slowestMs;
}

void report(const char *label, double stallMs, double goalMs, double floorMs, const char *floor)
{
    std::printf("  %-26s longest stall %8.1f ms  goal <= %3.0f ms: %-7s  floor (%s) %8.1f ms\n", label, stallMs,
                goalMs, stallMs <= goalMs ? "met" : "NOT MET", floor, floorMs);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    QTemporaryDir dir;
    Form1 window(std::make_unique<SilentDialogs>());
    window.show();
    ScriptEditor *pane = window.scriptEditor();
    rwx::LiveChecks *checks = pane->liveChecks();
    Heartbeat heartbeat;
    runUntil([&] { return !checks->checkPending(); }, kLongWaitMs); // the empty pane's check
    std::printf("Longest stall of the window's event loop (%d ms heartbeat):\n", kBeatMs);

    // 1. Opening a 32 MB script of faulty lines, until its marks are drawn.
    const QString faultyPath = dir.filePath(QStringLiteral("faulty12.rwx"));
    const QByteArray faulty = faultyScript(32 * kMB);
    if (!writeFile(faultyPath, faulty))
        return 1;
    std::unique_ptr<ScriptEditor> bare = uncheckedPane(pane->size());
    const double openFloorMs = stallOf(heartbeat, [&] { readInto(*bare, faultyPath); });
    int checksBefore = checks->checkCount();
    heartbeat.restart();
    QElapsedTimer sinceOpen;
    sinceOpen.start();
    QTimer::singleShot(0, &window, [&] { window.openFile(faultyPath); });
    const bool marked = runUntil([&] { return checks->checkCount() > checksBefore; }, kLongWaitMs);
    const double markedAfterMs = msSince(sinceOpen);
    report("open 32 MB, check", heartbeat.longestStallMs(), 250, openFloorMs, "open, no check");
    std::printf("      %s %.0f ms after the open: %lld marks of %lld findings; peak memory %.0f MB\n",
                marked ? "marks drawn" : "NO MARKS", markedAfterMs, static_cast<long long>(checks->marks().size()),
                static_cast<long long>(checks->findingCount()), peakMemoryMB());

    // 2. Twenty keys, each typed 10 to 190 ms after the pause ended, while a
    // check of the 32 MB runs. The first key moves the pane's whole text.
    heartbeat.restart();
    const double slowestBareKeyMs = typeKeys(bare.get(), 20, [](int) { return 50; });
    const double typingFloorMs = heartbeat.longestStallMs();
    bare.reset();
    checksBefore = checks->checkCount();
    heartbeat.restart();
    const double firstKeyMs = typeKeys(pane, 1, [](int) { return 0; });
    const double firstKeyStallMs = heartbeat.longestStallMs();
    heartbeat.restart();
    const double slowestKeyMs = std::max(firstKeyMs, typeKeys(pane, 19, [](int key) {
        return rwx::LiveChecks::DefaultPauseMs + 10 + 20 * ((key + 1) % 10);
    }));
    const bool settled = runUntil([&] { return !checks->checkPending(); }, kLongWaitMs);
    const double laterKeysStallMs = heartbeat.longestStallMs();
    report("20 keys while checking", std::max(firstKeyStallMs, laterKeysStallMs), 100, typingFloorMs,
           "keys, no check");
    std::printf("      after the first key (which moves the pane's text) %.1f ms; slowest key %.1f ms "
                "(no check: %.1f ms)\n      %s: %d checks drawn, %lld marks; peak memory %.0f MB\n",
                laterKeysStallMs, slowestKeyMs, slowestBareKeyMs, settled ? "settled" : "NOT SETTLED",
                checks->checkCount() - checksBefore, static_cast<long long>(checks->marks().size()),
                peakMemoryMB());

    // 3. A clean 100 MB script: opened, then one click on Save Zip Next,
    // until the archive is there and nothing shows progress any more.
    const QString bigPath = dir.filePath(QStringLiteral("house12.rwx"));
    const QByteArray big = orvane_test::generateScript({.size = 100 * kMB}).toLatin1();
    if (!writeFile(bigPath, big))
        return 1;
    bare = uncheckedPane(pane->size());
    const double bigOpenFloorMs = stallOf(heartbeat, [&] { readInto(*bare, bigPath); });
    bare.reset();
    checksBefore = checks->checkCount();
    heartbeat.restart();
    sinceOpen.restart();
    QTimer::singleShot(0, &window, [&] { window.openFile(bigPath); });
    runUntil([&] { return checks->checkCount() > checksBefore; }, kLongWaitMs);
    report("open 100 MB, check", heartbeat.longestStallMs(), 250, bigOpenFloorMs, "open, no check");
    std::printf("      checked %.0f ms after the open\n", msSince(sinceOpen));

    const double writeFloorMs = stallOf(heartbeat, [&] {
        QSaveFile file(dir.filePath(QStringLiteral("floor.rwx")));
        if (file.open(QIODevice::WriteOnly) && file.write(big) == big.size())
            file.commit();
    });
    const QString archive = dir.filePath(QStringLiteral("house13.zip"));
    auto progressShown = [&] {
        const QList<QProgressDialog *> dialogs = window.findChildren<QProgressDialog *>();
        return std::any_of(dialogs.cbegin(), dialogs.cend(), [](QProgressDialog *d) { return d->isVisible(); });
    };
    heartbeat.restart();
    QElapsedTimer sinceClick;
    sinceClick.start();
    QTimer::singleShot(0, window.saveZipNextButton(), &QPushButton::click);
    const bool packed = runUntil([&] { return QFile::exists(archive) && !progressShown(); }, kLongWaitMs);
    const double packedAfterMs = msSince(sinceClick);
    runFor(300);
    report("Save Zip Next on 100 MB", heartbeat.longestStallMs(), 250, writeFloorMs, "write the file");
    std::printf("      %s %.0f ms after the click; peak memory %.0f MB\n",
                packed ? "archive written" : "NO ARCHIVE", packedAfterMs, peakMemoryMB());
    return 0;
}
