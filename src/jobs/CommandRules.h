#pragma once

#include <QMetaType>
#include <QObject>
#include <QStringList>

#include "favorites/FileOps.h"
#include "jobs/AppState.h"
#include "platform/Failure.h"
#include "table/ResultsFile.h"

namespace jobs
{

class LoadSequence;

/// The program's commands, in their order on the toolbar.
enum class Command
{
    StartCheck,
    StopCheck,
    SaveResults,
    DeleteDead,
    Backup,
    Restore,
    About,
    Exit,
};

/// What a command that has done its work reports besides it: what it could not take along.
struct CommandReport
{
    favorites::LeftOut leftOut;       // backup, restore: entries that are no file, folder or link this system can make
    table::UnstoredRows unstoredRows; // save: the favorites whose folder or name the results file cannot hold, by why
};

/// What only the user can answer, and what the user is told: the window implements it with its message boxes.
class CommandAnswers
{
public:
    virtual ~CommandAnswers() = default;
    /// Not one address answered the check: save all the same? (Most likely the network was down.)
    virtual bool confirmSaveWithoutAnswers() = 0;
    /// What the command removes cannot go to the Recycle Bin (why: the system's reason; none when the system has no
    /// Recycle Bin for the volume): delete it for good? For DeleteDead the favorites' files; for Restore the Favorites
    /// folder, whose favorites the restore would replace (no: the restore is undone).
    virtual bool confirmDeleteForGood(Command command, const QStringList& paths, const platform::SystemError& why) = 0;
    /// The name of the one folder in which the favorites a restore replaces go to the Recycle Bin.
    virtual QString replacedFavoritesName() = 0;
    /// The command failed or was refused; what failed is in failure.
    virtual void reportFailure(Command command, const platform::Failure& failure) = 0;
    /// The command has done its work (a backup is told so, with what it left out; the others only when the report
    /// holds something).
    virtual void reportDone(Command command, const CommandReport& report) = 0;
};

/// The rules of the commands that change the user's data: save the results, delete the dead favorites, back the
/// Favorites folder up and restore it. While a load or another command's work runs, a command does nothing (the window
/// greys it): the rows may not be those on disk yet. Without a usable Favorites folder it is refused. Otherwise the
/// command's job does its work (jobs/SaveResultsJob.h, DeleteDeadJob.h, BackupJob.h, RestoreJob.h), and the rules tell
/// its result through the answers: the questions and the messages are the window's.
class CommandRules : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommandRules)

public:
    /// Rules working on state through load, asking and telling through answers; all must outlive it.
    CommandRules(AppState& state, LoadSequence& load, CommandAnswers& answers, QObject* parent = nullptr);

    void saveResults();
    void deleteDead();
    void backup();
    void restore();

signals:
    /// The command's work is over (done, refused or failed), its report given.
    void commandFinished(jobs::Command command);

private:
    /// False, the command over, while work runs; false, with the command's failure reported, when there is no usable
    /// Favorites folder.
    bool startable(Command command);
    /// Tells the user how the command ended (done, with what it reports besides, or failed), unless it ended silently
    /// (the user declined it, or had it undone); then it is over.
    void finish(Command command, const platform::Failure& failure, const CommandReport& report = CommandReport(),
                bool silently = false);

    AppState& m_state;
    LoadSequence& m_load;
    CommandAnswers& m_answers;
};

} // namespace jobs

Q_DECLARE_METATYPE(jobs::Command)
