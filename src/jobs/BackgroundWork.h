#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>

#include "favorites/Progress.h"
#include "platform/Failure.h"

namespace jobs
{

/// The failures of work that ended in an exception instead of returning: nothing the program's own code throws, but
/// what the system or a library still may (memory running out above all).
enum class WorkFailure
{
    Unexpected,             // path: what the exception said; system: out of memory, when that was it
    UnexpectedWhileLoading, // the same, in a load of the table, which stays empty until a load succeeds
};

/// Runs one long piece of file work at a time in a thread of its own, so that the window's thread goes on answering,
/// and brings its end back to the thread that owns this object.
///
/// The work gets copies of what it needs and returns what it found through what it captured; it never touches the
/// program's state (the catalogue, the table, the model), which only the continuation does, on this object's thread,
/// once the work is over. It counts its entries through the favorites::Progress it is given; progressChanged tells
/// how far it has come. stop() asks it to stop at its next entry and waits for it there; the continuation then never
/// runs. A work that throws ends there: its continuation runs with the failure (WorkFailure::Unexpected), and the
/// program goes on. Built on Qt's futures (QPromise, QFutureWatcher) and a thread pool of one thread.
class BackgroundWork : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BackgroundWork)

public:
    using Work = std::function<void(favorites::Progress& progress)>;
    /// What follows the work, here; unexpected is none unless the work ended in an exception.
    using Then = std::function<void(const platform::Failure& unexpected)>;
    /// Called in the worker at each entry the work counts, before it goes on (tests hold the worker there).
    using StepHook = std::function<void(int done, int total)>;

    explicit BackgroundWork(QObject* parent = nullptr);
    /// Stops the work that is running, as stop() does.
    ~BackgroundWork() override;

    /// Runs work in the worker; once it is over, then runs here. Nothing is started (false) while a work runs.
    bool start(Work work, Then then);
    /// True from start() until the continuation runs (or the work was stopped).
    bool isRunning() const { return m_running; }
    /// Asks the work to stop at its next entry and waits until it has, at most waitMs (-1: for as long as it takes);
    /// its continuation does not run. False when the work is still in a step by then (stuck in a long system call):
    /// it goes on in the worker, and since this object waits for it when it goes, the caller then ends the process
    /// (platform::endProcessNow), as a kill would, which the file work is made to be put right after.
    bool stop(int waitMs = -1);
    /// True from the moment stop() has asked the work to stop until the next start(); safe to ask from any thread.
    bool isStopping() const { return m_stopping; }
    /// For tests: hook is called at every step of every work started from now on (it may throw, as the work's own
    /// code might).
    void setStepHook(StepHook hook) { m_stepHook = std::move(hook); }

signals:
    /// The work has done `done` of `total` entries (total 0 while it does not know yet). Told at most 25 times a
    /// second, the first and the last step always.
    void progressChanged(int done, int total);

private:
    void workFinished();

    QThreadPool m_pool;
    QFutureWatcher<void> m_watcher;
    Then m_then;
    std::shared_ptr<platform::Failure> m_unexpected; // written by the worker when the work throws
    StepHook m_stepHook;
    int m_total = 0;
    bool m_running = false;
    std::atomic<bool> m_stopping{false};
};

} // namespace jobs

template <> struct platform::IsFailureKind<jobs::WorkFailure> : std::true_type
{
};
