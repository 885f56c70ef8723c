#include "table/CommandRules.h"

#include "favorites/Backup.h"
#include "favorites/DeleteFavorites.h"
#include "favorites/Maintenance.h"
#include "favorites/Restore.h"
#include "table/LoadSequence.h"
#include "table/ResultsFile.h"
#include "table/Rules.h"

namespace table
{

// What a command's work found, written by the worker and read by the continuation once the work is over.
struct CommandRules::Outcome
{
    bool ok = false;
    platform::Failure failure;
    CommandReport report;
    int deleted = 0;                       // delete: favorites gone
    QStringList notRecycled;               // delete: favorites for which the system has no Recycle Bin
    favorites::ReplacedFavorites replaced; // restore: what became of the favorites it replaced
};

CommandRules::CommandRules(AppState& state, LoadSequence& load, CommandAnswers& answers, QObject* parent)
    : QObject(parent), m_state(state), m_load(load), m_answers(answers)
{
}

bool CommandRules::startable(Command command)
{
    // Until the load or the other command's work is over, the rows may not be those on disk, and the Favorites folder
    // may be half way through a change.
    if (m_load.isWorking()) {
        emit commandFinished(command);
        return false;
    }
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

void CommandRules::finish(Command command, const Outcome& outcome)
{
    finish(command, outcome.ok, outcome.failure, outcome.report);
}

void CommandRules::reloadThenFinish(Command command, bool changed, const std::shared_ptr<Outcome>& outcome)
{
    if (!changed) {
        finish(command, *outcome);
        return;
    }
    // The favorites still there keep the verdicts of the check, which is not saved yet.
    m_load.reloadFromDisk(CurrentVerdicts::Kept, [this, command, outcome] { finish(command, *outcome); });
}

void CommandRules::saveResults()
{
    // Without a Favorites folder the table is empty: saving would only wipe every saved history.
    if (!startable(Command::SaveResults))
        return;
    // Declined: nothing is written and the results stay in the table, to be saved later.
    if (looksLikeDeadNetwork(m_state.table) && !m_answers.confirmSaveWithoutAnswers()) {
        emit commandFinished(Command::SaveResults);
        return;
    }
    // The file is written first: when it cannot be, the table stays as it is and nothing is lost.
    platform::Failure failure;
    CommandReport report;
    if (!table::saveResults(resultsFilePath(m_state.programFolder), m_state.table, &failure, &report.unstoredRows)) {
        finish(Command::SaveResults, false, failure, report);
        return;
    }
    m_load.reloadFromDisk(CurrentVerdicts::Cleared,
                          [this, report] { finish(Command::SaveResults, true, platform::Failure(), report); });
}

void CommandRules::deleteDead()
{
    if (!startable(Command::DeleteDead))
        return;
    const QStringList dead = deadFavorites(m_state.table);
    const QString favPath = m_state.catalogue.favPath;
    auto outcome = std::make_shared<Outcome>();
    // The table shows what is on disk: a delete that stopped half-way has changed it too.
    const auto end = [this, outcome] {
        reloadThenFinish(Command::DeleteDead, outcome->ok || outcome->deleted > 0, outcome);
    };
    m_load.runBehindBusyNotice(
        LongWork::DeleteDead,
        [favPath, dead, outcome](favorites::Progress& progress) {
            outcome->ok = favorites::deleteFavorites(favPath, dead, favorites::Removal::ToRecycleBin, &outcome->deleted,
                                                     &outcome->failure, &outcome->notRecycled, &progress);
        },
        [this, favPath, outcome, end] {
            // Where there is no Recycle Bin, a favorite is deleted for good only when the user says so; else it stays.
            if (!outcome->ok || outcome->notRecycled.isEmpty() ||
                !m_answers.confirmDeleteForGood(Command::DeleteDead, outcome->notRecycled, platform::SystemError())) {
                end();
                return;
            }
            m_load.runBehindBusyNotice(
                LongWork::DeleteDead,
                [favPath, outcome](favorites::Progress& progress) {
                    int deletedForGood = 0;
                    outcome->ok = favorites::deleteFavorites(favPath, outcome->notRecycled, favorites::Removal::ForGood,
                                                             &deletedForGood, &outcome->failure, nullptr, &progress);
                    outcome->deleted += deletedForGood;
                },
                end);
        });
}

void CommandRules::backup()
{
    if (!startable(Command::Backup))
        return;
    const QString favPath = m_state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(m_state.programFolder);
    auto outcome = std::make_shared<Outcome>();
    m_load.runBehindBusyNotice(
        LongWork::Backup,
        [favPath, backupFolder, outcome](favorites::Progress& progress) {
            outcome->ok = favorites::backupFavorites(favPath, backupFolder, &outcome->failure, &outcome->report.leftOut,
                                                     &progress);
        },
        [this, outcome] { finish(Command::Backup, *outcome); });
}

void CommandRules::restore()
{
    if (!startable(Command::Restore))
        return;
    const QString favPath = m_state.catalogue.favPath;
    const QString backupFolder = favorites::backupFolderPath(m_state.programFolder);
    auto outcome = std::make_shared<Outcome>();
    outcome->replaced.name = m_answers.replacedFavoritesName();
    m_load.runBehindBusyNotice(
        LongWork::Restore,
        [favPath, backupFolder, outcome](favorites::Progress& progress) {
            outcome->ok = favorites::restoreFavorites(backupFolder, favPath, &outcome->failure,
                                                      &outcome->report.leftOut, &outcome->replaced, &progress);
        },
        [this, favPath, outcome] {
            if (!outcome->ok || outcome->replaced.inRecycleBin) {
                // All or nothing: a restore that failed has changed nothing, and the table stays as it is (unless what
                // it replaced could be neither put in the Recycle Bin nor back).
                const bool changed =
                    outcome->ok || outcome->failure.kind == favorites::MaintenanceFailure::ReplacedFavoritesKept;
                reloadThenFinish(Command::Restore, changed, outcome);
                return;
            }
            // Complete, but what it replaced cannot go to the Recycle Bin: gone for good, or the restore undone.
            const bool deleteOld = m_answers.confirmDeleteForGood(Command::Restore, {favPath}, outcome->replaced.why);
            m_load.runBehindBusyNotice(
                LongWork::Restore,
                [favPath, deleteOld, outcome](favorites::Progress&) {
                    outcome->ok = favorites::settleRestore(favPath, deleteOld, &outcome->failure);
                },
                [this, deleteOld, outcome] {
                    // Undone: the Favorites folder and the table are as they were.
                    if (outcome->ok && !deleteOld) {
                        emit commandFinished(Command::Restore);
                        return;
                    }
                    reloadThenFinish(Command::Restore, true, outcome);
                });
        });
}

} // namespace table
