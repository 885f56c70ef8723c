#include "jobs/LoadSequence.h"

#include <memory>
#include <utility>

#include <QTimer>

#include "favorites/Enumeration.h"
#include "favorites/Maintenance.h"
#include "jobs/RecoveryJob.h"
#include "platform/FavoritesFolder.h"
#include "table/Loader.h"
#include "table/ResultsFile.h"

namespace jobs
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

// What a load found on disk, in the worker: the folders, the files and the rows made of them.
struct LoadResult
{
    favorites::Catalogue catalogue;
    QVector<table::LinkRow> rows;
    jobs::RecoveryResult recovery; // at start-up
};

// The folders (the edit dialog's choice, as they are now: a restore or a hand may have changed them) and the files
// collected afresh, and read into rows, which keep the verdicts they had in before. No Favorites folder, or none by
// that name: nothing is collected, and the program stays usable.
void readFromDisk(const QString& favPath, const QString& resultsPath, const QVector<table::LinkRow>& before,
                  LoadResult& result, favorites::Progress& progress)
{
    favorites::Catalogue& catalogue = result.catalogue;
    catalogue.favPath = favPath;
    if (!favorites::favoritesFolderProblem(favPath).failed()) {
        favorites::ListFolders(catalogue, favPath);
        favorites::collectFiles(catalogue);
    }
    result.rows = table::readRows(catalogue, resultsPath, &progress);
    table::keepVerdicts(before, result.rows);
}

} // namespace

LoadSequence::LoadSequence(AppState& state, QObject* parent)
    : QObject(parent), m_state(state), m_showNoticeTimer(oneShotTimer(this, 100)), m_readTimer(oneShotTimer(this, 200)),
      m_hideNoticeTimer(oneShotTimer(this, 100)), m_workTimer(oneShotTimer(this, 200))
{
    connect(m_showNoticeTimer, &QTimer::timeout, this, &LoadSequence::showBusyNotice);
    connect(m_readTimer, &QTimer::timeout, this, &LoadSequence::readFavorites);
    connect(m_hideNoticeTimer, &QTimer::timeout, this, &LoadSequence::hideBusyNotice);
    connect(m_workTimer, &QTimer::timeout, this, &LoadSequence::runWork);
    connect(&m_worker, &BackgroundWork::progressChanged, this, &LoadSequence::workProgressed);
}

LoadSequence::~LoadSequence()
{
    stop();
}

void LoadSequence::startUp()
{
    favorites::Catalogue& cat = m_state.catalogue;
    cat.clearFiles();
    cat.clearFolders();
    cat.favPath = platform::favoritesFolder();
    m_verdicts = table::CurrentVerdicts::Cleared;
    m_startUp = true;
    setWorking(true);
    m_showNoticeTimer->start();
    m_readTimer->start();
}

void LoadSequence::reloadFromDisk(table::CurrentVerdicts verdicts, std::function<void()> then)
{
    // From now until the new table stands, a check's answers wait for it (see LinkChecker).
    m_state.table.announceReload();
    // Once cleared is asked for (a save has folded the verdicts into the histories), a later request cannot undo it.
    if (m_readTimer->isActive() && m_verdicts == table::CurrentVerdicts::Cleared)
        verdicts = table::CurrentVerdicts::Cleared;
    m_verdicts = verdicts;
    m_afterLoad = std::move(then);
    setWorking(true);
    emit cleared();
    announce(LongWork::Load);
    m_showNoticeTimer->start();
    m_readTimer->start();
}

void LoadSequence::runBehindBusyNotice(LongWork kind, Work work, BackgroundWork::Then then)
{
    setWorking(true);
    m_kind = kind;
    m_work = std::move(work);
    m_afterWork = std::move(then);
    announce(kind);
    m_showNoticeTimer->start();
    m_workTimer->start();
}

void LoadSequence::settle()
{
    m_showNoticeTimer->stop();
    if (m_busyShown || m_hideNoticeTimer->isActive())
        hideBusyNotice();
}

bool LoadSequence::stop(int waitMs)
{
    for (QTimer* timer : {m_showNoticeTimer, m_readTimer, m_hideNoticeTimer, m_workTimer})
        timer->stop();
    m_work = nullptr;
    m_afterWork = nullptr;
    m_afterLoad = nullptr;
    m_working = false;
    return m_worker.stop(waitMs);
}

void LoadSequence::announce(LongWork kind)
{
    // The words of the work to come, before the notice shows them: never the last work's text and count. Work that
    // still runs tells its own until it is over.
    if (!m_worker.isRunning())
        emit progressChanged(kind, 0, 0);
}

void LoadSequence::setWorking(bool working)
{
    if (m_working == working)
        return;
    m_working = working;
    emit workingChanged(working);
}

void LoadSequence::runWork()
{
    m_workTimer->stop();
    emit progressChanged(m_kind, 0, 0);
    m_worker.start(std::exchange(m_work, nullptr),
                   [this, then = std::exchange(m_afterWork, nullptr)](const platform::Failure& unexpected) {
                       afterStep([&] {
                           if (then)
                               then(unexpected);
                       });
                   });
}

void LoadSequence::afterStep(const std::function<void()>& then)
{
    if (then)
        then();
    // Nothing follows: the notice goes, and the work is over.
    if (!m_readTimer->isActive() && !m_workTimer->isActive() && !m_worker.isRunning()) {
        m_hideNoticeTimer->start();
        setWorking(false);
    }
}

void LoadSequence::workProgressed(int done, int total)
{
    emit progressChanged(m_kind, done, total);
    // The count of a load is known once the files are collected, before they are read.
    if (m_kind == LongWork::Load && total != m_countTold) {
        m_countTold = total;
        emit favoritesCounted(total);
    }
}

void LoadSequence::showBusyNotice()
{
    m_showNoticeTimer->stop();
    m_busyShown = true;
    emit busyChanged(true);
}

void LoadSequence::readFavorites()
{
    m_readTimer->stop();
    // The worker's own copies of what it reads.
    const bool startUp = std::exchange(m_startUp, false);
    const table::CurrentVerdicts verdicts = std::exchange(m_verdicts, table::CurrentVerdicts::Cleared);
    const QString favPath = m_state.catalogue.favPath;
    const QString programFolder = m_state.programFolder;
    // The verdicts of the check not saved yet: nothing writes to the rows from the moment the reload was announced
    // until the new ones stand.
    const QVector<table::LinkRow> before =
        verdicts == table::CurrentVerdicts::Kept ? m_state.table.rows() : QVector<table::LinkRow>();
    auto result = std::make_shared<LoadResult>();
    m_kind = LongWork::Load;
    m_countTold = -1;
    emit progressChanged(m_kind, 0, 0);
    m_worker.start(
        [favPath, programFolder, startUp, before, result](favorites::Progress& progress) {
            if (startUp)
                result->recovery = jobs::recoverStoppedWork(favPath, programFolder);
            readFromDisk(favPath, table::resultsFilePath(programFolder), before, *result, progress);
        },
        [this, startUp, result](const platform::Failure& unexpected) {
            // Nothing read can be vouched for: the table stays empty until a load succeeds.
            m_loadFailure = unexpected;
            if (unexpected.failed()) {
                *result = LoadResult();
                m_loadFailure.kind = WorkFailure::UnexpectedWhileLoading;
            }
            // The catalogue and the table are replaced in one step.
            favorites::Catalogue& cat = m_state.catalogue;
            cat.fileCount = result->catalogue.fileCount;
            cat.fileName = result->catalogue.fileName;
            cat.filePath = result->catalogue.filePath;
            cat.folderCount = result->catalogue.folderCount;
            cat.folderList = result->catalogue.folderList;
            if (startUp) {
                m_foundAtStartUp = result->recovery.found;
                m_startUpFailure = result->recovery.failure;
            }
            if (m_countTold != cat.fileCount)
                emit favoritesCounted(cat.fileCount);
            m_state.table.load(std::move(result->rows));
            m_loadedSinceNotice = true;
            emit loaded();
            if (m_loadFailure.failed())
                emit loadFailed(m_loadFailure);
            afterStep(std::exchange(m_afterLoad, nullptr));
        });
}

void LoadSequence::hideBusyNotice()
{
    m_hideNoticeTimer->stop();
    m_busyShown = false;
    emit busyChanged(false);
    if (!std::exchange(m_loadedSinceNotice, false))
        return;
    emit finished();
    // What start-up found of a stopped restore is told once the window shows the table.
    const favorites::InterruptedRestore found = std::exchange(m_foundAtStartUp, favorites::InterruptedRestore::None);
    const platform::Failure failure = std::exchange(m_startUpFailure, platform::Failure());
    if (found != favorites::InterruptedRestore::None || failure.failed())
        QTimer::singleShot(0, this, [this, found, failure] { emit interruptedRestoreHandled(found, failure); });
}

} // namespace jobs
