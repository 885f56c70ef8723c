#include "jobs/BackgroundWork.h"

#include <exception>
#include <memory>
#include <new>
#include <utility>

#include <QPromise>

namespace jobs
{

namespace
{

// The recursive copies and deletions of a deep folder tree need the stack the window's thread has.
constexpr uint kWorkerStackBytes = 8u * 1024u * 1024u;

// The failure of a work that threw `exception` (null: something that is no std::exception).
platform::Failure unexpectedFailure(const std::exception* exception)
{
    platform::Failure failure;
    failure.kind = WorkFailure::Unexpected;
    if (exception)
        failure.path = QString::fromLocal8Bit(exception->what());
    if (dynamic_cast<const std::bad_alloc*>(exception))
        failure.system.reason = platform::SystemReason::OutOfMemory;
    return failure;
}

} // namespace

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
    m_pool.setStackSize(kWorkerStackBytes);
    connect(&m_watcher, &QFutureWatcherBase::progressRangeChanged, this, [this](int, int maximum) {
        m_total = maximum;
        emit progressChanged(m_watcher.progressValue(), m_total);
    });
    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, this,
            [this](int done) { emit progressChanged(done, m_total); });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &BackgroundWork::workFinished);
}

BackgroundWork::~BackgroundWork()
{
    stop();
}

bool BackgroundWork::start(Work work, Then then)
{
    if (m_running)
        return false;
    m_running = true;
    m_stopping = false;
    m_then = std::move(then);
    m_total = 0;
    m_unexpected = std::make_shared<platform::Failure>();
    // Shared: the pool takes copyable functions, and a promise is moved only.
    auto promise = std::make_shared<QPromise<void>>();
    m_watcher.setFuture(promise->future());
    promise->start();
    m_pool.start([promise, work = std::move(work), hook = m_stepHook, unexpected = m_unexpected] {
        int total = 0;
        favorites::Progress progress([&](int done, int of) {
            if (of != total) {
                total = of;
                promise->setProgressRange(0, total);
            }
            promise->setProgressValue(done);
            if (hook)
                hook(done, total);
            return !promise->isCanceled();
        });
        // Whatever the work throws ends it, not the program; its continuation tells what it was.
        try {
            work(progress);
        } catch (const std::exception& exception) {
            *unexpected = unexpectedFailure(&exception);
        } catch (...) {
            *unexpected = unexpectedFailure(nullptr);
        }
        promise->finish();
    });
    return true;
}

bool BackgroundWork::stop(int waitMs)
{
    if (m_running) {
        m_running = false;
        m_then = nullptr;
        m_watcher.cancel();
        m_stopping = true;
    }
    // The work ends at its next entry (or at once after it, when it has none left), and the worker lets go of the
    // promise, and with it what the work captured, once it returns.
    return m_pool.waitForDone(waitMs);
}

void BackgroundWork::workFinished()
{
    // After stop() the finished future of the stopped work may still report; nothing follows it.
    if (!m_running)
        return;
    m_running = false;
    const Then then = std::exchange(m_then, nullptr);
    if (then)
        then(*m_unexpected);
}

} // namespace jobs
