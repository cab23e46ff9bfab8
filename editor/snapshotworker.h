#pragma once
// Work on a text while it is being typed, as the live marks and the 3D
// preview do it: wait for a pause in the changes, take a snapshot of the text
// in parts (one part a turn of the event loop, so that a large text never
// holds the window up), compute from the snapshot alone on a worker thread,
// and apply the result on the owner's thread only if nothing has changed
// since the snapshot was taken.
//
// A change stops the work under way: its stop token is set and its result is
// dropped. Each computation runs on a thread of its own and nothing waits for
// an older one, so a newer snapshot is computed even while an older
// computation is stuck in a system call. Destroying the worker stops its work
// and waits for none of it.
//
// The threads are not Qt's global pool, which the application waits for when
// it ends: main() gives them a moment with waitForThreads() and then leaves
// without those that are stuck.
//
// Qt Core only; the owner supplies how to copy its text and what to compute.
#include "editor/typingpause.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

class QTimer;

namespace editor {

class SnapshotWorker : public QObject {
    Q_OBJECT
public:
    // Applies a result; runs on the owner's thread.
    using Apply = std::function<void()>;
    // Appends the next part of the text to `snapshot`; returns true once the
    // snapshot is complete. Runs on the owner's thread, while nothing changes.
    using CopyStep = std::function<bool(QByteArray &snapshot)>;
    // Computes on a worker thread from the snapshot and what it captured by
    // value, and returns what to apply (or nothing). It should return soon
    // once `stop` is requested; what it returns then is dropped.
    using Work = std::function<Apply(QByteArray snapshot, std::stop_token stop)>;
    struct Job {
        CopyStep copy;
        Work work; // empty: nothing to do this time
    };
    // Makes the job for the next snapshot, on the owner's thread, when the
    // pause ends or startNow() is called.
    using JobMaker = std::function<Job()>;

    explicit SnapshotWorker(JobMaker makeJob, QObject *parent = nullptr);
    ~SnapshotWorker() override;

    // The pause after the last change before the snapshot is taken.
    int pause() const;
    void setPause(int ms);

    // The text changed: stops the work under way and starts the pause again.
    void changed();
    // Stops the work under way and the pause.
    void stop();
    // Stops the work under way and the pause, and takes a snapshot at once.
    void startNow();

    // Whether the pause runs, a snapshot is being taken or its work computes.
    bool pending() const;
    // Whether a snapshot is being taken or its work computes.
    bool busy() const;

    // Worker threads still running, for all workers, stopped ones included.
    static int threadsRunning();
    // Waits until no worker thread runs, for at most `most`; true if none
    // runs.
    static bool waitForThreads(std::chrono::milliseconds most);
    // For main(), once the windows are gone (which stops their work): waits
    // for the worker threads for at most `most`, and if some still run (stuck
    // in a system call, say) ends the program at once with `code`, skipping
    // the destruction of statics those threads might still use.
    static void exitIfThreadsOutlast(int code, std::chrono::milliseconds most);

signals:
    // A result was applied.
    void applied();
    // A worker thread left a result in the mailbox (queued to this thread).
    void resultArrived(QPrivateSignal);

private:
    struct Mailbox;

    void stopCurrent();
    void copyMore();
    void launch();
    void takeResults();

    JobMaker m_makeJob;
    QTimer *m_pauseTimer = nullptr;
    QTimer *m_copyTimer = nullptr; // the next part of the snapshot
    std::shared_ptr<Mailbox> m_mailbox;
    // Counts snapshots begun and stops; a result of an older one is dropped.
    quint64 m_generation = 0;
    std::stop_source m_stop;
    Job m_job;
    QByteArray m_snapshot;
    bool m_copying = false;
    bool m_computing = false;
};

} // namespace editor
