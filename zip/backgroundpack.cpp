// BackgroundPack: one packing in a worker thread, its questions put to the
// starting thread, its progress, cancel and result sent back as signals.
#include "zip/vbzipbas.h"

#include "zip/packinternals.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace VBZipBas {

using namespace detail;

namespace {
std::function<void()> g_workerStartHook;
} // namespace

// What the starting thread and the worker share for one packing. The
// worker reaches the starting thread only through BackgroundPack's queued
// signals; everything else they share is guarded by `mutex` or atomic.
struct PackRun {
    BackgroundPack *owner = nullptr; // outlives the worker: its destructor waits for it
    Entries entries;
    PackingSettings settings; // the worker's copy; read by the owner once the worker has ended
    qint32 result = 0;
    QString reason; // for a result other than 0
    std::atomic<bool> cancelled = false;
    int lastPercent = -1; // the worker's own

    // A question put to the starting thread, and its answer.
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<QString> question;
    bool answered = false;
    std::optional<QString> answer;

    // On the worker: the prompt runs on the owner's thread, which never
    // waits for the worker while the worker waits here, except in the
    // owner's destructor, which cancels first and so wakes it.
    std::optional<QString> askOwner(const QString &text)
    {
        std::unique_lock lock(mutex);
        if (cancelled)
            return std::nullopt;
        question = text;
        answered = false;
        answer.reset();
        lock.unlock();
        emit owner->questionAsked(BackgroundPack::QPrivateSignal());
        lock.lock();
        wake.wait(lock, [this] { return answered || cancelled; });
        question.reset();
        if (!answered)
            return std::nullopt;
        return std::exchange(answer, std::nullopt);
    }

    void reportProgress(double fraction)
    {
        const int percent = std::clamp(int(fraction * 100.0), 0, 100);
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        emit owner->workerProgress(percent, BackgroundPack::QPrivateSignal());
    }

    void cancel()
    {
        {
            const std::lock_guard lock(mutex);
            cancelled = true;
        }
        wake.notify_all();
    }
};

namespace {

// The packing whose library calls run on this thread, if any.
thread_local PackRun *t_run = nullptr;

void reportProgress(double fraction, void *state)
{
    static_cast<PackRun *>(state)->reportProgress(fraction);
}

int32_t askCancel(void *state)
{
    return static_cast<PackRun *>(state)->cancelled ? 1 : 0;
}

} // namespace

std::optional<QString> detail::ask(const QString &text)
{
    if (t_run)
        return t_run->askOwner(text);
    return askHere(text);
}


BackgroundPack::BackgroundPack(QObject *parent) : QObject(parent)
{
    connect(this, &BackgroundPack::workerProgress, this, &BackgroundPack::progressChanged, Qt::QueuedConnection);
    connect(this, &BackgroundPack::questionAsked, this, &BackgroundPack::answerQuestion, Qt::QueuedConnection);
    connect(this, &BackgroundPack::workerDone, this, &BackgroundPack::workerEnded, Qt::QueuedConnection);
}

BackgroundPack::~BackgroundPack()
{
    if (!m_thread)
        return;
    m_run->cancel();
    m_thread->join();
    g_running = false;
}

void BackgroundPack::setWorkerStartHook(std::function<void()> hook)
{
    g_workerStartHook = std::move(hook);
}

qint32 BackgroundPack::start()
{
    if (m_thread || g_running.exchange(true))
        return ResultAlreadyRunning;
    if (const qint32 missing = loadLibrary()) {
        g_running = false;
        return missing;
    }
    m_run = std::make_shared<PackRun>();
    m_run->owner = this;
    m_run->entries = zipLibrary().entries;
    m_run->settings = settings();
    m_thread = std::make_unique<std::thread>([run = m_run, hook = g_workerStartHook] {
        if (hook)
            hook();
        t_run = run.get();
        ZpProgress progress{&reportProgress, &askCancel, run.get()};
        // The paths as given: the library may write into its copies.
        const QString archive = run->settings.archivePath;
        const QString packedFile = run->settings.fileNames[0];
        int systemError = 0;
        run->result = runLibrary(run->entries, run->settings, &progress, &systemError);
        if (run->result != 0)
            run->reason = describeResult(run->result, archive, packedFile, systemError);
        t_run = nullptr;
        emit run->owner->workerDone(QPrivateSignal());
    });
    return 0;
}

void BackgroundPack::cancel()
{
    if (m_run)
        m_run->cancel();
}

void BackgroundPack::answerQuestion()
{
    // The prompt runs an event loop of its own, in which the packing may
    // end (cancel() and the worker's end) or this object go: the run is
    // held here, and nothing of this object is touched after the prompt.
    const std::shared_ptr<PackRun> run = m_run;
    if (!run)
        return;
    std::unique_lock lock(run->mutex);
    if (!run->question || run->answered || run->cancelled)
        return;
    const QString text = *run->question;
    lock.unlock();
    std::optional<QString> reply = askHere(text);
    lock.lock();
    run->answer = std::move(reply);
    run->answered = true;
    lock.unlock();
    run->wake.notify_all();
}

void BackgroundPack::workerEnded()
{
    if (!m_thread)
        return;
    m_thread->join();
    m_thread.reset();
    PackingSettings &s = settings();
    s.archivePath = m_run->settings.archivePath;
    s.fileNames = m_run->settings.fileNames;
    const qint32 result = m_run->result;
    const QString reason = m_run->reason;
    m_run.reset();
    g_running = false;
    emit finished(result, reason);
}

} // namespace VBZipBas
