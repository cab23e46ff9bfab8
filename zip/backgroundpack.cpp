// BackgroundPack: one packing in a worker thread, its questions put to the
// starting thread, its progress, cancel and result sent back as signals.
#include "zip/vbzipbas.h"

#include "zip/packinternals.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace VBZipBas {

using namespace detail;

// What the starting thread and the worker share for one packing. The
// worker reaches the starting thread only through BackgroundPack's queued
// signals; everything else they share is guarded by `mutex` or atomic.
struct PackRun final : Questions {
    BackgroundPack *owner = nullptr; // outlives the worker: its destructor waits for it
    Entries entries;
    PackingSettings settings; // the worker's copy
    qint32 result = 0;
    QString reason; // for a result other than 0
    std::atomic<bool> cancelled = false;
    std::atomic<int> percent = -1; // the share written so far, -1 before the first report

    // A question put to the starting thread, and its answer.
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<QString> question;
    bool answered = false;
    std::optional<QString> answer;

    // On the worker: the prompt runs on the owner's thread, which never
    // waits for the worker while the worker waits here, except in the
    // owner's destructor, which cancels first and so wakes it.
    std::optional<QString> ask(const QString &text) override
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

    // The share is handed over in `percent`, not with the signal: the owner
    // reads the latest one when it gets to it.
    void reportProgress(double fraction)
    {
        const int now = std::clamp(int(fraction * 100.0), 0, 100);
        if (percent.exchange(now) != now)
            emit owner->workerProgress(BackgroundPack::QPrivateSignal());
    }

    void cancel()
    {
        {
            const std::lock_guard lock(mutex);
            cancelled = true;
        }
        wake.notify_all();
    }

    // On the worker.
    void run()
    {
        ZpProgress progress{&PackRun::progressCallback, &PackRun::cancelCallback, this};
        // The paths as given: the library may write into its copies.
        const QString archive = settings.archivePath;
        const QString packedFile = settings.fileNames[0];
        int systemError = 0;
        result = runLibrary(entries, settings, &progress, this, &systemError);
        if (result != 0)
            reason = describePacking(result, archive, packedFile, systemError);
        emit owner->workerDone(BackgroundPack::QPrivateSignal());
    }

    static void progressCallback(double fraction, void *state)
    {
        static_cast<PackRun *>(state)->reportProgress(fraction);
    }

    static int32_t cancelCallback(void *state)
    {
        return static_cast<PackRun *>(state)->cancelled ? 1 : 0;
    }
};

BackgroundPack::BackgroundPack(Prompt prompt, QObject *parent) : QObject(parent), m_prompt(std::move(prompt))
{
    connect(this, &BackgroundPack::workerProgress, this, &BackgroundPack::progressReported, Qt::QueuedConnection);
    connect(this, &BackgroundPack::questionAsked, this, &BackgroundPack::answerQuestion, Qt::QueuedConnection);
    connect(this, &BackgroundPack::workerDone, this, &BackgroundPack::workerEnded, Qt::QueuedConnection);
}

BackgroundPack::~BackgroundPack()
{
    if (!m_thread)
        return;
    m_run->cancel();
    m_thread->join();
    zipLibrary().inUse = false;
}

bool BackgroundPack::start(const PackingSettings &settings, QString *error)
{
    Library &library = zipLibrary();
    if (m_thread || library.inUse.exchange(true)) {
        *error = describeResult(ResultAlreadyRunning);
        return false;
    }
    Entries entries;
    if (!loadLibrary(&entries, error)) {
        library.inUse = false;
        return false;
    }
    m_run = std::make_shared<PackRun>();
    m_run->owner = this;
    m_run->entries = entries;
    m_run->settings = settings;
    m_percentShown = -1;
    m_thread = std::make_unique<std::thread>([run = m_run] { run->run(); });
    return true;
}

void BackgroundPack::cancel()
{
    if (m_run)
        m_run->cancel();
}

void BackgroundPack::progressReported()
{
    if (!m_run)
        return;
    const int percent = m_run->percent;
    if (percent > m_percentShown)
        emit progressChanged(m_percentShown = percent);
}

void BackgroundPack::answerQuestion()
{
    // The prompt runs an event loop of its own, in which the packing may
    // end (cancel() and the worker's end) or this object go: the run and
    // the prompt are held here, and nothing of this object is touched after
    // the prompt.
    const std::shared_ptr<PackRun> run = m_run;
    const Prompt prompt = m_prompt;
    if (!run)
        return;
    std::unique_lock lock(run->mutex);
    if (!run->question || run->answered || run->cancelled)
        return;
    const QString text = *run->question;
    lock.unlock();
    std::optional<QString> reply = prompt ? prompt(text) : std::nullopt;
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
    const qint32 result = m_run->result;
    const QString reason = m_run->reason;
    m_run.reset();
    zipLibrary().inUse = false;
    emit finished(result, reason);
}

} // namespace VBZipBas
