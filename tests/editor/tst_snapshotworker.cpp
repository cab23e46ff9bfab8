// The pattern of work on a text being typed: the snapshot taken in parts,
// results applied only for the text they read, work told to stop by a
// change, a stop or the worker's end, a stuck computation holding up no newer
// one, and a program that ends while a worker is stuck in a system call.
#include "editor/snapshotworker.h"

#include "support/testmain.h"

#include <QProcess>
#include <QSemaphore>

#include <atomic>
#include <memory>

#include <unistd.h>

using editor::SnapshotWorker;

namespace {

constexpr char kStuckChild[] = "--end-with-a-worker-stuck-in-read";
constexpr int kStuckChildExitCode = 3;

// Work that counts its runs and holds the first `held` of them until the
// test lets them go, ignoring their stop token meanwhile, as a system call
// would. Shared with the threads, it outlives the test that made it.
struct Gate {
    std::atomic<int> held{0};
    std::atomic<int> entered{0};
    std::atomic<int> stopped{0}; // runs that found their stop token set
    std::atomic<int> left{0};
    QSemaphore go;
};

// A text copied three bytes a turn of the event loop, and the texts whose
// results were applied.
struct Harness {
    QByteArray text = "ABCDEFGHIJ";
    int copySteps = 0;
    QList<QByteArray> applied;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::unique_ptr<SnapshotWorker> worker = std::make_unique<SnapshotWorker>([this] { return job(); });

    SnapshotWorker::Job job()
    {
        auto copy = [this](QByteArray &snapshot) {
            ++copySteps;
            snapshot += text.mid(snapshot.size(), 3);
            return snapshot.size() >= text.size();
        };
        auto work = [this, gate = gate](QByteArray snapshot, std::stop_token stop) -> SnapshotWorker::Apply {
            if (gate->entered++ < gate->held)
                gate->go.acquire();
            gate->stopped += stop.stop_requested();
            ++gate->left;
            return [this, snapshot] { applied << snapshot; };
        };
        return {copy, work};
    }
    ~Harness() { gate->go.release(1000); }
};

enum class Interruption {
    None,
    ChangeWhileCopying,
    ChangeWhileComputing,
    ChangeBeforeApplying, // the result is on its way to the owner's thread
    StopWhileComputing,
    DestroyWhileComputing
};

// The child process: a worker stuck in read() on a pipe nobody writes to,
// then the end of the program as main() ends it.
int endWithAStuckWorker(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    auto worker = std::make_unique<SnapshotWorker>([fd = fds[0]] {
        return SnapshotWorker::Job{[](QByteArray &) { return true; },
                                   [fd](QByteArray, std::stop_token) -> SnapshotWorker::Apply {
                                       char byte;
                                       const ssize_t got = ::read(fd, &byte, 1);
                                       Q_UNUSED(got);
                                       return {};
                                   }};
    });
    worker->startNow();
    worker.reset();
    SnapshotWorker::exitIfThreadsOutlast(kStuckChildExitCode, std::chrono::milliseconds(100));
    return 0;
}

} // namespace

class SnapshotWorkerTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void appliesOnlyForTheTextItRead_data();
    void appliesOnlyForTheTextItRead();
    void aStuckComputationHoldsUpNoNewerOne();
    void programEndsWhileAWorkerIsStuck();
};

void SnapshotWorkerTest::cleanup()
{
    QTRY_COMPARE(SnapshotWorker::threadsRunning(), 0);
}

void SnapshotWorkerTest::appliesOnlyForTheTextItRead_data()
{
    QTest::addColumn<Interruption>("interruption");
    QTest::addColumn<QList<QByteArray>>("applied");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("stopped");
    QTest::addColumn<int>("copySteps");
    QTest::newRow("none") << Interruption::None << QList<QByteArray>{"ABCDEFGHIJ"} << 1 << 0 << 4;
    QTest::newRow("change while copying") << Interruption::ChangeWhileCopying << QList<QByteArray>{"new"} << 1 << 0
                                          << 1 + 1;
    QTest::newRow("change while computing") << Interruption::ChangeWhileComputing << QList<QByteArray>{"new"} << 2
                                            << 1 << 4 + 1;
    QTest::newRow("change before applying") << Interruption::ChangeBeforeApplying << QList<QByteArray>{"new"} << 2
                                            << 0 << 4 + 1;
    QTest::newRow("stop while computing") << Interruption::StopWhileComputing << QList<QByteArray>{} << 1 << 1 << 4;
    QTest::newRow("destroyed while computing") << Interruption::DestroyWhileComputing << QList<QByteArray>{} << 1
                                               << 1 << 4;
}

void SnapshotWorkerTest::appliesOnlyForTheTextItRead()
{
    QFETCH(Interruption, interruption);
    QFETCH(QList<QByteArray>, applied);
    QFETCH(int, runs);
    QFETCH(int, stopped);
    QFETCH(int, copySteps);
    Harness h;
    const std::shared_ptr<Gate> gate = h.gate;
    gate->held = interruption >= Interruption::ChangeWhileComputing ? 1 : 0;
    h.worker->setPause(0);
    QSignalSpy appliedSignal(h.worker.get(), &SnapshotWorker::applied);
    h.worker->startNow();
    QVERIFY(h.worker->busy());
    QCOMPARE(h.copySteps, 1); // the first part at once, the rest on later turns
    if (interruption == Interruption::ChangeWhileCopying) {
        h.text = "new";
        h.worker->changed();
        QVERIFY(h.worker->pending() && !h.worker->busy());
    } else if (interruption != Interruption::None) {
        QTRY_COMPARE(gate->entered.load(), 1);
        QVERIFY(h.worker->busy());
        if (interruption == Interruption::ChangeBeforeApplying) {
            gate->go.release();
            QVERIFY(SnapshotWorker::waitForThreads(std::chrono::seconds(30))); // no events meanwhile
        }
        if (interruption == Interruption::ChangeWhileComputing || interruption == Interruption::ChangeBeforeApplying) {
            h.text = "new";
            h.worker->changed();
        } else if (interruption == Interruption::StopWhileComputing) {
            h.worker->stop();
        } else {
            h.worker.reset();
        }
        gate->go.release();
    }
    QTRY_COMPARE(gate->entered.load(), runs);
    QTRY_COMPARE(gate->left.load(), runs);
    QTRY_COMPARE(SnapshotWorker::threadsRunning(), 0);
    QCoreApplication::processEvents(); // a result on its way, if any
    QCOMPARE(h.applied, applied);
    QCOMPARE(appliedSignal.size(), applied.size());
    QCOMPARE(gate->stopped.load(), stopped);
    QCOMPARE(h.copySteps, copySteps);
    QVERIFY(!h.worker || !h.worker->pending());
}

void SnapshotWorkerTest::aStuckComputationHoldsUpNoNewerOne()
{
    Harness h;
    const std::shared_ptr<Gate> gate = h.gate;
    gate->held = 1;
    h.worker->setPause(0);
    h.worker->startNow();
    QTRY_COMPARE(gate->entered.load(), 1);
    h.text = "second";
    h.worker->changed();
    QTRY_COMPARE(h.applied, QList<QByteArray>{"second"});
    QVERIFY(!h.worker->pending());
    // The first is still stuck, and the program can tell.
    QCOMPARE(gate->left.load(), 1);
    QTRY_COMPARE(SnapshotWorker::threadsRunning(), 1);
    QVERIFY(!SnapshotWorker::waitForThreads(std::chrono::milliseconds(0)));
    gate->go.release();
    QVERIFY(SnapshotWorker::waitForThreads(std::chrono::seconds(30)));
    QCoreApplication::processEvents();
    QCOMPARE(h.applied, QList<QByteArray>{"second"});
}

void SnapshotWorkerTest::programEndsWhileAWorkerIsStuck()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kStuckChild)});
    QVERIFY2(child.waitForFinished(60000), "the program waited for its stuck worker");
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), kStuckChildExitCode);
}

int main(int argc, char **argv)
{
    if (argc == 2 && qstrcmp(argv[1], kStuckChild) == 0)
        return endWithAStuckWorker(argc, argv);
    orvane_test::isolateSettings();
    QCoreApplication app(argc, argv);
    SnapshotWorkerTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_snapshotworker.moc"
