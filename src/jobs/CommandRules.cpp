#include "jobs/CommandRules.h"

#include "favorites/Maintenance.h"
#include "jobs/BackupJob.h"
#include "jobs/DeleteDeadJob.h"
#include "jobs/LoadSequence.h"
#include "jobs/RestoreJob.h"
#include "jobs/SaveResultsJob.h"

namespace jobs
{

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
        finish(command, problem);
    return !problem.failed();
}

void CommandRules::finish(Command command, const platform::Failure& failure, const CommandReport& report, bool silently)
{
    if (!silently && failure.failed())
        m_answers.reportFailure(command, failure);
    else if (!silently)
        m_answers.reportDone(command, report);
    emit commandFinished(command);
}

void CommandRules::saveResults()
{
    // Without a Favorites folder the table is empty: saving would only wipe every saved history.
    if (!startable(Command::SaveResults))
        return;
    jobs::startSaveResults({m_state, m_load, m_answers}, [this](const jobs::SaveResultsResult& saved) {
        CommandReport report;
        report.unstoredRows = saved.unstoredRows;
        // Declined: nothing is written, and the results stay in the table, to be saved later.
        finish(Command::SaveResults, saved.failure, report, saved.declined);
    });
}

void CommandRules::deleteDead()
{
    if (!startable(Command::DeleteDead))
        return;
    jobs::startDeleteDead({m_state, m_load, m_answers}, [this](const jobs::DeleteDeadResult& deleted) {
        finish(Command::DeleteDead, deleted.failure);
    });
}

void CommandRules::backup()
{
    if (!startable(Command::Backup))
        return;
    jobs::startBackup({m_state, m_load, m_answers}, [this](const jobs::BackupResult& backedUp) {
        CommandReport report;
        report.leftOut = backedUp.leftOut;
        finish(Command::Backup, backedUp.failure, report);
    });
}

void CommandRules::restore()
{
    if (!startable(Command::Restore))
        return;
    jobs::startRestore({m_state, m_load, m_answers}, [this](const jobs::RestoreResult& restored) {
        CommandReport report;
        report.leftOut = restored.leftOut;
        // Undone at the user's word: the Favorites folder and the table are as they were.
        finish(Command::Restore, restored.failure, report, restored.undone);
    });
}

} // namespace jobs
