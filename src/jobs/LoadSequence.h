#pragma once

#include <functional>

#include <QObject>

#include "favorites/Recovery.h"
#include "favorites/Progress.h"
#include "jobs/AppState.h"
#include "jobs/BackgroundWork.h"
#include "platform/Failure.h"
#include "table/Loader.h"

class QTimer;

namespace jobs
{

/// The long pieces of work the busy notice tells of.
enum class LongWork
{
    Load,       // the files collected and read into the table
    DeleteDead, // the dead favorites deleted
    Backup,     // the Favorites folder backed up
    Restore,    // the Favorites folder restored
};

/// How the link table is loaded behind the busy notice, at start-up and after the commands that change the
/// Favorites folder or the results file (save, delete, restore), and how the file work of delete, backup and restore
/// runs behind the same notice.
///
/// The file work runs in a worker (BackgroundWork), so that the window goes on answering and repainting while it
/// runs; what it found is applied on this object's thread in one step: the catalogue's files and the table's rows
/// replaced at once. One-shot timers keep the order the user sees: one (100 ms) shows the notice, the next
/// (200 ms) starts the load (or the work) in the worker, a third (100 ms after the last of it) hides the notice.
/// From the first of these until the last continuation has returned, isWorking() is true: the commands that change
/// data wait for it (the window greys them). What comes after a piece of work (a question to the user, the next
/// step, the reload, the message at the end) is its continuation, run here between two pieces of work.
class LoadSequence : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadSequence)

public:
    using Work = BackgroundWork::Work;

    /// A sequence working on state, which must outlive it; nothing runs until startUp().
    explicit LoadSequence(AppState& state, QObject* parent = nullptr);
    /// Work still running stops at its next safe point first (see stop()).
    ~LoadSequence() override;

    /// Start-up: the Favorites folder as the system names it; then, in the worker, a restore that was stopped
    /// half-way finished or undone (interruptedRestoreHandled says which, once the table is loaded) and what a
    /// stopped backup left put right, unless another running copy's restore or backup is at work on them; its
    /// subfolders and files collected, and the table loaded. No Favorites folder, or none by that name: an empty
    /// catalogue, and the table empty.
    void startUp();
    /// After a command has changed what is on disk: the grid cleared at once; behind the busy notice the files
    /// collected again (the count told as soon as it is known) and the table loaded; then `then`. A load already
    /// scheduled that clears the verdicts still does.
    void reloadFromDisk(table::CurrentVerdicts verdicts = table::CurrentVerdicts::Cleared,
                        std::function<void()> then = {});
    /// Runs work in the worker behind the busy notice, which tells how far it has come; then `then`, here, with the
    /// failure of a work that ended in an exception (none when it returned).
    void runBehindBusyNotice(LongWork kind, Work work, BackgroundWork::Then then);
    /// True from the moment a load or a piece of work is scheduled until the last continuation of it has returned.
    bool isWorking() const { return m_working; }
    /// Hides the busy notice at once: the window waits for nothing now, as it must before it asks the user something
    /// or tells the end of a command.
    void settle();
    /// Stops what runs at its next safe point, waits for it there (at most waitMs; -1: for as long as it takes), and
    /// runs nothing of what was to follow: what exit does. The work stops as it would at a failure there, so nothing
    /// is left half done. False when the work has not stopped in time (it is stuck in one long step, such as a system
    /// call on a hung drive) and still runs in the worker: the process must then end before this object goes (see
    /// BackgroundWork::stop).
    bool stop(int waitMs = -1);
    /// Why the last load read nothing, its work having ended in an exception (WorkFailure::UnexpectedWhileLoading);
    /// none once a load has succeeded.
    const platform::Failure& loadFailure() const { return m_loadFailure; }
    /// True while stop() waits for the work; safe to ask from any thread.
    bool isStopping() const { return m_worker.isStopping(); }
    /// For tests: called in the worker at every step of the work, before it goes on (it may hold the worker there, or
    /// throw as the work's own code might).
    void setStepHook(BackgroundWork::StepHook hook) { m_worker.setStepHook(std::move(hook)); }

signals:
    /// The grid is to show no rows until the load (the window's clearGrid).
    void cleared();
    /// The enumeration has collected n files.
    void favoritesCounted(int n);
    /// The busy notice is to be shown (true) or hidden (false).
    void busyChanged(bool shown);
    /// The work behind the busy notice has done `done` of `total` entries (total 0 while it is not known).
    void progressChanged(jobs::LongWork kind, int done, int total);
    /// isWorking() has changed.
    void workingChanged(bool working);
    /// The table has been loaded.
    void loaded();
    /// The load's work ended in an exception (failure): the table has been loaded empty.
    void loadFailed(const platform::Failure& failure);
    /// A load is over and the busy notice hidden again.
    void finished();
    /// At start-up a restore stopped half-way was found and finished or undone, or could not be (failure).
    void interruptedRestoreHandled(favorites::InterruptedRestore found, const platform::Failure& failure);

private slots:
    void showBusyNotice();
    void readFavorites();
    void hideBusyNotice();

private:
    void setWorking(bool working);
    void announce(LongWork kind);
    void runWork();
    void afterStep(const std::function<void()>& then);
    void workProgressed(int done, int total);

    AppState& m_state;
    BackgroundWork m_worker;
    QTimer* m_showNoticeTimer = nullptr;
    QTimer* m_readTimer = nullptr;
    QTimer* m_hideNoticeTimer = nullptr;
    QTimer* m_workTimer = nullptr;    // starts the waiting work at the read's interval
    LongWork m_kind = LongWork::Load; // what the worker does (or is about to)
    Work m_work;                      // the work waiting for m_workTimer
    BackgroundWork::Then m_afterWork;
    std::function<void()> m_afterLoad;
    table::CurrentVerdicts m_verdicts = table::CurrentVerdicts::Cleared; // what the scheduled load does with them
    bool m_startUp = false;                                              // the scheduled load is the one of start-up
    int m_countTold = -1;             // the favorites count last told during this load
    bool m_loadedSinceNotice = false; // a load ran since the busy notice was last hidden
    bool m_busyShown = false;         // the busy notice is on screen
    bool m_working = false;
    favorites::InterruptedRestore m_foundAtStartUp = favorites::InterruptedRestore::None;
    platform::Failure m_startUpFailure;
    platform::Failure m_loadFailure; // of the last load
};

} // namespace jobs

Q_DECLARE_METATYPE(jobs::LongWork)
