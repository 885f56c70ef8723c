#pragma once

#include <functional>

#include <QObject>

#include "favorites/Maintenance.h"
#include "platform/Failure.h"
#include "table/AppState.h"
#include "table/Loader.h"

class QTimer;

namespace table
{

/// How the link table is loaded behind the busy notice, at start-up and after the commands that change the
/// Favorites folder or the results file ("c", "d", "f"), and how the other long pieces of work (delete, backup,
/// restore) run behind the same notice.
///
/// Work that blocks the event loop runs from a one-shot timer after the busy notice has been painted: load_start
/// (100 ms) shows the notice, load_ie (200 ms) loads the table (or runs the work), load_stop (100 ms after) hides the
/// notice again. Between a reload's collection of the files and its load, the catalogue already lists what is on
/// disk while the table still holds the rows from before the command; isPending() tells, and finishPending() runs
/// what is scheduled at once.
class LoadSequence : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadSequence)

public:
    /// A sequence working on state, which must outlive it; nothing runs until startUp().
    explicit LoadSequence(AppState& state, QObject* parent = nullptr);

    /// Start-up: the Favorites folder as the system names it; a restore that was stopped half-way finished or undone
    /// (interruptedRestoreHandled says which) and what a stopped backup left put right, unless another running copy's
    /// restore or backup is at work on them; its subfolders and files collected, then the busy notice and the load.
    /// No Favorites folder, or none by that name: an empty catalogue, and the table empty.
    void startUp();
    /// After a command has changed what is on disk: the grid cleared, the busy notice, the files collected again
    /// and the count shown, then the load. A load already scheduled that clears the verdicts still does.
    void reloadFromDisk(CurrentVerdicts verdicts = CurrentVerdicts::Cleared);
    /// Runs work once the busy notice has been painted, and hides the notice after it (or after the load the work
    /// schedules). Work already waiting runs first.
    void runBehindBusyNotice(std::function<void()> work);
    /// True while a load or a piece of work is scheduled and has not run yet.
    bool isPending() const;
    /// Runs what is scheduled now: the waiting work, then the load (nothing when nothing is scheduled).
    void finishPending();
    /// Runs the load that is scheduled and hides the busy notice at once: the window then shows what is on disk and
    /// waits for nothing, as it must before it asks the user something or tells the end of a command.
    void settle();

signals:
    /// The grid is to show no rows until the load (the window's myClear).
    void cleared();
    /// The enumeration has collected n files.
    void favoritesCounted(int n);
    /// The busy notice is to be shown (true) or hidden (false).
    void busyChanged(bool shown);
    /// The table has been loaded.
    void loaded();
    /// A load is over and the busy notice hidden again.
    void finished();
    /// At start-up a restore stopped half-way was found and finished or undone, or could not be (failure).
    void interruptedRestoreHandled(favorites::InterruptedRestore found, const platform::Failure& failure);

private slots:
    void load_start_Timer();
    void load_ie_Timer();
    void load_stop_Timer();

private:
    void collectFiles();
    void runWork();

    AppState& m_state;
    QTimer* m_loadStart = nullptr;
    QTimer* m_loadIe = nullptr;
    QTimer* m_loadStop = nullptr;
    QTimer* m_workTimer = nullptr; // runs the waiting work at load_ie's interval
    std::function<void()> m_work;
    CurrentVerdicts m_verdicts = CurrentVerdicts::Cleared; // what the scheduled load does with them
    bool m_loadedSinceNotice = false;                      // a load ran since the busy notice was last hidden
    bool m_busyShown = false;                              // the busy notice is on screen
};

} // namespace table
