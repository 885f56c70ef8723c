#include "ui/LoadSequence.h"

#include <QTimer>

#include "favorites/Enumeration.h"
#include "favorites/Maintenance.h"
#include "platform/FavoritesFolder.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

namespace ui
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

LoadSequence::LoadSequence(table::AppState& state, QObject* parent)
    : QObject(parent), m_state(state), m_loadStart(oneShotTimer(this, 100)), m_loadIe(oneShotTimer(this, 200)),
      m_loadStop(oneShotTimer(this, 100))
{
    connect(m_loadStart, &QTimer::timeout, this, &LoadSequence::load_start_Timer);
    connect(m_loadIe, &QTimer::timeout, this, &LoadSequence::load_ie_Timer);
    connect(m_loadStop, &QTimer::timeout, this, &LoadSequence::load_stop_Timer);
}

void LoadSequence::startUp()
{
    favorites::Catalogue& cat = m_state.catalogue;
    cat.clearFiles();
    cat.clearFolders();
    cat.favPath = platform::favoritesFolder();
    // The folders are listed once, for the edit dialog's choice; the files at every load.
    if (!favorites::favoritesFolderProblem(cat.favPath).failed())
        favorites::ListFolders(cat, cat.favPath);
    collectFiles();
    m_loadStart->start();
    m_loadIe->start();
}

void LoadSequence::reloadFromDisk()
{
    emit cleared();
    m_loadStart->start();
    collectFiles();
    m_loadIe->start();
}

bool LoadSequence::isPending() const
{
    return m_loadIe->isActive();
}

void LoadSequence::finishPending()
{
    if (isPending())
        load_ie_Timer();
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

void LoadSequence::load_start_Timer()
{
    m_loadStart->stop();
    emit busyChanged(true);
}

void LoadSequence::load_ie_Timer()
{
    m_loadIe->stop();
    table::loadTable(m_state.catalogue, m_state.table, table::resultsFilePath(m_state.programFolder));
    emit loaded();
    m_loadStop->start();
}

void LoadSequence::load_stop_Timer()
{
    m_loadStop->stop();
    emit busyChanged(false);
    emit finished();
}

} // namespace ui
