#include "editor/snapshotworker.h"

#include <QList>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace editor {

namespace {

// The worker threads still running. Never destroyed: a thread stuck in a
// system call may still end while the program's statics go away.
struct ThreadCount {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
};

ThreadCount &threadCount()
{
    static auto *count = new ThreadCount;
    return *count;
}

void threadStarted()
{
    ThreadCount &count = threadCount();
    const std::lock_guard lock(count.mutex);
    ++count.running;
}

void threadEnded()
{
    ThreadCount &count = threadCount();
    const std::lock_guard lock(count.mutex);
    if (--count.running == 0)
        count.ended.notify_all();
}

} // namespace

// What a worker thread shares with the worker that started it: the results
// on their way to the owner's thread, and the way to tell it of them, closed
// when the worker goes. The queued signal carries nothing: the results pass
// under the mutex.
struct SnapshotWorker::Mailbox {
    std::mutex mutex;
    SnapshotWorker *owner = nullptr;
    QList<std::pair<quint64, Apply>> arrived;

    void post(quint64 generation, Apply apply)
    {
        const std::lock_guard lock(mutex);
        if (!owner)
            return;
        arrived.append({generation, std::move(apply)});
        emit owner->resultArrived(QPrivateSignal());
    }

    QList<std::pair<quint64, Apply>> take()
    {
        const std::lock_guard lock(mutex);
        return std::exchange(arrived, {});
    }
};

SnapshotWorker::SnapshotWorker(JobMaker makeJob, QObject *parent)
    : QObject(parent)
    , m_makeJob(std::move(makeJob))
    , m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = this;
    m_pauseTimer = new QTimer(this);
    m_pauseTimer->setSingleShot(true);
    m_pauseTimer->setInterval(TypingPauseMs);
    connect(m_pauseTimer, &QTimer::timeout, this, &SnapshotWorker::startNow);
    m_copyTimer = new QTimer(this);
    m_copyTimer->setSingleShot(true);
    m_copyTimer->setInterval(0);
    connect(m_copyTimer, &QTimer::timeout, this, &SnapshotWorker::copyMore);
    connect(this, &SnapshotWorker::resultArrived, this, &SnapshotWorker::takeResults, Qt::QueuedConnection);
}

SnapshotWorker::~SnapshotWorker()
{
    stopCurrent();
    // Results still on their way are dropped.
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
    m_mailbox->arrived.clear();
}

int SnapshotWorker::pause() const
{
    return m_pauseTimer->interval();
}

void SnapshotWorker::setPause(int ms)
{
    m_pauseTimer->setInterval(std::max(0, ms));
}

bool SnapshotWorker::pending() const
{
    return m_pauseTimer->isActive() || busy();
}

bool SnapshotWorker::busy() const
{
    return m_copying || m_computing;
}

void SnapshotWorker::changed()
{
    stopCurrent();
    m_pauseTimer->start();
}

void SnapshotWorker::stop()
{
    m_pauseTimer->stop();
    stopCurrent();
}

void SnapshotWorker::stopCurrent()
{
    ++m_generation;
    m_stop.request_stop();
    m_copyTimer->stop();
    m_copying = m_computing = false;
    m_snapshot = QByteArray();
    m_job = {};
}

void SnapshotWorker::startNow()
{
    stop();
    Job job = m_makeJob ? m_makeJob() : Job{};
    if (!job.work || !job.copy)
        return;
    m_job = std::move(job);
    m_stop = std::stop_source();
    m_copying = true;
    copyMore();
}

void SnapshotWorker::copyMore()
{
    if (!m_job.copy(m_snapshot)) {
        m_copyTimer->start();
        return;
    }
    m_copying = false;
    launch();
}

void SnapshotWorker::launch()
{
    struct Task {
        std::shared_ptr<Mailbox> mailbox;
        quint64 generation;
        Work work;
        QByteArray snapshot;
        std::stop_token stop;
    };
    auto task = std::make_unique<Task>(
        Task{m_mailbox, m_generation, std::exchange(m_job.work, {}), std::exchange(m_snapshot, {}), m_stop.get_token()});
    m_job = {};
    m_computing = true;
    threadStarted();
    try {
        std::thread([task = std::move(task)]() mutable {
            Apply apply;
            try {
                apply = task->work(std::exchange(task->snapshot, {}), task->stop);
            } catch (const std::exception &) {
                apply = {}; // out of memory, say: nothing to apply, and the thread ends
            }
            if (task->stop.stop_requested())
                apply = {};
            task->work = {};
            task->mailbox->post(task->generation, std::move(apply));
            task.reset();
            threadEnded();
        }).detach();
    } catch (const std::system_error &) {
        threadEnded(); // no thread to be had: nothing is computed until the next change
        m_computing = false;
    }
}

void SnapshotWorker::takeResults()
{
    for (const auto &[generation, apply] : m_mailbox->take()) {
        if (generation != m_generation)
            continue; // stopped or superseded since
        m_computing = false;
        if (apply) {
            apply();
            emit applied();
        }
    }
}

int SnapshotWorker::threadsRunning()
{
    ThreadCount &count = threadCount();
    const std::lock_guard lock(count.mutex);
    return count.running;
}

bool SnapshotWorker::waitForThreads(std::chrono::milliseconds most)
{
    ThreadCount &count = threadCount();
    std::unique_lock lock(count.mutex);
    return count.ended.wait_for(lock, most, [&] { return count.running == 0; });
}

void SnapshotWorker::exitIfThreadsOutlast(int code, std::chrono::milliseconds most)
{
    if (waitForThreads(most))
        return;
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace editor
