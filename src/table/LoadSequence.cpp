#include "table/LoadSequence.h"

#include <utility>

#include <QTimer>

#include "favorites/Enumeration.h"
#include "platform/FavoritesFolder.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

namespace table
{

namespace
{

QTimer* oneShotTimer(QObject* parent, int intervalMs)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(intervalMs);
    timer->setSingleShot(true);
    return timer;
}

} // namespace

LoadSequence::LoadSequence(AppState& state, QObject* parent)
    : QObject(parent), m_state(state), m_loadStart(oneShotTimer(this, 100)), m_loadIe(oneShotTimer(this, 200)),
      m_loadStop(oneShotTimer(this, 100)), m_workTimer(oneShotTimer(this, 200))
{
    connect(m_loadStart, &QTimer::timeout, this, &LoadSequence::load_start_Timer);
    connect(m_loadIe, &QTimer::timeout, this, &LoadSequence::load_ie_Timer);
    connect(m_loadStop, &QTimer::timeout, this, &LoadSequence::load_stop_Timer);
    connect(m_workTimer, &QTimer::timeout, this, &LoadSequence::runWork);
}

void LoadSequence::startUp()
{
    favorites::Catalogue& cat = m_state.catalogue;
    cat.clearFiles();
    cat.clearFolders();
    cat.favPath = platform::favoritesFolder();
    m_verdicts = CurrentVerdicts::Cleared;
    // What a backup stopped half-way left: the next backup or restore would put it right too, and says so when it
    // cannot; until then it is only in the way.
    platform::Failure ignored;
    if (!m_state.programFolder.isEmpty())
        favorites::recoverInterruptedBackup(favorites::backupFolderPath(m_state.programFolder), &ignored);
    if (!favorites::favoritesFolderProblem(cat.favPath).failed()) {
        // Before anything is listed: a restore stopped half-way left the favorites partly in working folders.
        favorites::InterruptedRestore found = favorites::InterruptedRestore::None;
        platform::Failure failure;
        favorites::recoverInterruptedRestore(cat.favPath, &found, &failure);
        // A restore under way in another running copy is that copy's to finish.
        if (failure.kind == favorites::MaintenanceFailure::WorkingFolderInUse)
            failure = platform::Failure();
        if (found != favorites::InterruptedRestore::None || failure.failed()) {
            // Told once the window is up.
            QTimer::singleShot(0, this, [this, found, failure] { emit interruptedRestoreHandled(found, failure); });
        }
        // The folders are listed once, for the edit dialog's choice; the files at every load.
        favorites::ListFolders(cat, cat.favPath);
    }
    collectFiles();
    m_loadStart->start();
    m_loadIe->start();
}

void LoadSequence::reloadFromDisk(CurrentVerdicts verdicts)
{
    // From now until the new table stands, a check's answers wait for it (see LinkChecker).
    m_state.table.announceReload();
    // Once cleared is asked for (a save has folded the verdicts into the histories), a later request cannot undo it.
    if (m_loadIe->isActive() && m_verdicts == CurrentVerdicts::Cleared)
        verdicts = CurrentVerdicts::Cleared;
    m_verdicts = verdicts;
    emit cleared();
    m_loadStart->start();
    collectFiles();
    m_loadIe->start();
}

void LoadSequence::runBehindBusyNotice(std::function<void()> work)
{
    if (m_work)
        runWork();
    m_work = std::move(work);
    m_loadStart->start();
    m_workTimer->start();
}

bool LoadSequence::isPending() const
{
    return m_loadIe->isActive() || bool(m_work);
}

void LoadSequence::finishPending()
{
    if (m_work)
        runWork();
    if (m_loadIe->isActive())
        load_ie_Timer();
}

void LoadSequence::settle()
{
    if (m_loadIe->isActive())
        load_ie_Timer();
    m_loadStart->stop();
    if (m_busyShown || m_loadStop->isActive())
        load_stop_Timer();
}

void LoadSequence::collectFiles()
{
    // No Favorites folder, or none by that name: nothing is collected, and the program stays usable.
    if (favorites::favoritesFolderProblem(m_state.catalogue.favPath).failed())
        m_state.catalogue.clearFiles();
    else
        favorites::collectFiles(m_state.catalogue);
    emit favoritesCounted(m_state.catalogue.fileCount);
}

void LoadSequence::runWork()
{
    m_workTimer->stop();
    // Taken first: the work may schedule more.
    const std::function<void()> work = std::exchange(m_work, nullptr);
    if (work)
        work();
    // A load the work scheduled hides the notice when it is over.
    if (!m_loadIe->isActive())
        m_loadStop->start();
}

void LoadSequence::load_start_Timer()
{
    m_loadStart->stop();
    m_busyShown = true;
    emit busyChanged(true);
}

void LoadSequence::load_ie_Timer()
{
    m_loadIe->stop();
    loadTable(m_state.catalogue, m_state.table, resultsFilePath(m_state.programFolder),
              std::exchange(m_verdicts, CurrentVerdicts::Cleared));
    m_loadedSinceNotice = true;
    emit loaded();
    m_loadStop->start();
}

void LoadSequence::load_stop_Timer()
{
    m_loadStop->stop();
    m_busyShown = false;
    emit busyChanged(false);
    if (std::exchange(m_loadedSinceNotice, false))
        emit finished();
}

} // namespace table
