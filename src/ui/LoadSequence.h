#pragma once

#include <QObject>

#include "table/AppState.h"

class QTimer;

namespace ui
{

/// How the link table is loaded behind the busy notice, at start-up and after the commands that change the
/// Favorites folder or the results file ("c", "d", "f").
///
/// Loading blocks the event loop until every shortcut file and the results file are read, so it runs from a
/// one-shot timer after the busy notice has been painted: load_start (100 ms) shows the notice, load_ie (200 ms)
/// loads the table, load_stop (100 ms after the load) hides the notice again. Between a reload's collection of
/// the files and its load, the catalogue already lists what is on disk while the table still holds the rows
/// from before the command; isPending() tells, and finishPending() loads at once.
class LoadSequence : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadSequence)

public:
    /// A sequence working on state, which must outlive it; nothing runs until startUp().
    explicit LoadSequence(table::AppState& state, QObject* parent = nullptr);

    /// Start-up: the Favorites folder as the system names it, its subfolders and files collected, then the busy
    /// notice and the load. No Favorites folder, or none by that name: an empty catalogue, and the table empty.
    void startUp();
    /// After a command has changed what is on disk: the grid cleared, the busy notice, the files collected
    /// again and the count shown, then the load.
    void reloadFromDisk();
    /// True while a load is scheduled and has not run yet.
    bool isPending() const;
    /// Runs a scheduled load now (nothing when none is scheduled).
    void finishPending();

signals:
    /// The grid is to show no rows until the load (the window's myClear).
    void cleared();
    /// The enumeration has collected n files.
    void favoritesCounted(int n);
    /// The busy notice is to be shown (true) or hidden (false).
    void busyChanged(bool shown);
    /// The table has been loaded.
    void loaded();
    /// The whole sequence is over: the busy notice is hidden again.
    void finished();

private slots:
    void load_start_Timer();
    void load_ie_Timer();
    void load_stop_Timer();

private:
    void collectFiles();

    table::AppState& m_state;
    QTimer* m_loadStart = nullptr;
    QTimer* m_loadIe = nullptr;
    QTimer* m_loadStop = nullptr;
};

} // namespace ui
