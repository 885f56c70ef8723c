#include "table/CommandRules.h"

#include "favorites/Maintenance.h"
#include "table/LoadSequence.h"
#include "table/ResultsFile.h"
#include "table/Rules.h"

namespace table
{

CommandRules::CommandRules(AppState& state, LoadSequence& load, CommandAnswers& answers, QObject* parent)
    : QObject(parent), m_state(state), m_load(load), m_answers(answers)
{
}

bool CommandRules::favoritesFolderUsable(Command command)
{
    const platform::Failure problem = favorites::favoritesFolderProblem(m_state.catalogue.favPath);
    if (problem.failed())
        finish(command, false, problem, CommandReport());
    return !problem.failed();
}

void CommandRules::finish(Command command, bool ok, const platform::Failure& failure, const CommandReport& report)
{
    if (ok)
        m_answers.reportDone(command, report);
    else
        m_answers.reportFailure(command, failure);
    emit commandFinished(command);
}

void CommandRules::saveResults()
{
    // Without a Favorites folder the table is empty: saving would only wipe every saved history.
    if (!favoritesFolderUsable(Command::SaveResults))
        return;
    // Until a scheduled load has run, the table still holds the rows of before the last save or delete: their
    // verdicts would be folded into the histories a second time.
    m_load.finishPending();
    // Declined: nothing is written and the results stay in the table, to be saved later.
    if (looksLikeDeadNetwork(m_state.table) && !m_answers.confirmSaveWithoutAnswers()) {
        emit commandFinished(Command::SaveResults);
        return;
    }
    // The file is written first: when it cannot be, the table stays as it is and nothing is lost.
    platform::Failure failure;
    CommandReport report;
    const bool ok =
        table::saveResults(resultsFilePath(m_state.programFolder), m_state.table, &failure, &report.unstoredRows);
    if (ok)
        m_load.reloadFromDisk();
    finish(Command::SaveResults, ok, failure, report);
}

void CommandRules::deleteDead()
{
    if (!favoritesFolderUsable(Command::DeleteDead))
        return;
    // The rows must be those of the files on disk (see saveResults).
    m_load.finishPending();
    const QStringList dead = deadFavorites(m_state.table);
    const QString favPath = m_state.catalogue.favPath;
    m_load.runBehindBusyNotice([this, dead, favPath] {
        platform::Failure failure;
        int deleted = 0;
        QStringList notRecycled;
        bool ok = favorites::deleteFavorites(favPath, dead, favorites::Removal::ToRecycleBin, &deleted, &failure,
                                             &notRecycled);
        // Where there is no Recycle Bin, a favorite is deleted for good only when the user says so; else it stays.
        if (ok && !notRecycled.isEmpty() &&
            m_answers.confirmDeleteForGood(Command::DeleteDead, notRecycled, platform::SystemError())) {
            int deletedForGood = 0;
            ok = favorites::deleteFavorites(favPath, notRecycled, favorites::Removal::ForGood, &deletedForGood,
                                            &failure);
            deleted += deletedForGood;
        }
        // The table shows what is on disk: a delete that stopped half-way has changed it too. The favorites that
        // are left keep the verdicts of the check, which is not saved yet.
        if (ok || deleted > 0)
            m_load.reloadFromDisk(CurrentVerdicts::Kept);
        finish(Command::DeleteDead, ok, failure, CommandReport());
    });
}

void CommandRules::backup()
{
    if (!favoritesFolderUsable(Command::Backup))
        return;
    const QString favPath = m_state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(m_state.programFolder);
    m_load.runBehindBusyNotice([this, favPath, backupFolder] {
        platform::Failure failure;
        CommandReport report;
        const bool ok = favorites::backupFavorites(favPath, backupFolder, &failure, &report.leftOut);
        finish(Command::Backup, ok, failure, report);
    });
}

void CommandRules::restore()
{
    if (!favoritesFolderUsable(Command::Restore))
        return;
    const QString favPath = m_state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(m_state.programFolder);
    favorites::ReplacedFavorites replaced;
    replaced.name = m_answers.replacedFavoritesName();
    m_load.runBehindBusyNotice([this, favPath, backupFolder, replaced]() mutable {
        platform::Failure failure;
        CommandReport report;
        bool ok = favorites::restoreFavorites(backupFolder, favPath, &failure, &report.leftOut, &replaced);
        // All or nothing: a restore that failed has changed nothing, and the table stays as it is (unless what it
        // replaced could be neither put in the Recycle Bin nor back).
        bool changed = ok || failure.kind == favorites::MaintenanceFailure::ReplacedFavoritesKept;
        if (ok && !replaced.inRecycleBin) {
            // Complete, but what it replaced cannot go to the Recycle Bin: gone for good, or the restore undone.
            const bool deleteOld = m_answers.confirmDeleteForGood(Command::Restore, {favPath}, replaced.why);
            ok = favorites::settleRestore(favPath, deleteOld, &failure);
            changed = deleteOld || !ok;
            if (ok && !deleteOld) {
                emit commandFinished(Command::Restore);
                return;
            }
        }
        // A favorite the restore brought back as it was keeps the verdict of the check, which is not saved yet.
        if (changed)
            m_load.reloadFromDisk(CurrentVerdicts::Kept);
        finish(Command::Restore, ok, failure, report);
    });
}

} // namespace table
