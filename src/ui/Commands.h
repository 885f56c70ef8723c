#pragma once

#include <QObject>
#include <QString>

#include "favorites/Recovery.h"
#include "jobs/AppState.h"
#include "jobs/CommandRules.h"
#include "jobs/LoadSequence.h"

class QWidget;

namespace checker
{
class LinkChecker;
}

namespace ui
{

/// What the eight toolbar commands ask and tell the user: the question the save may ask, the question before deleting
/// for good and every message the commands give (their names and keys are ui::commandList()). What the commands that
/// change data do, and when they refuse, is jobs::CommandRules; start and stop are the checker's.
class Commands : public QObject, public jobs::CommandAnswers
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Commands)

public:
    /// Commands working on state, the checker and the load sequence; message boxes open over window.
    Commands(jobs::AppState& state, checker::LinkChecker& checker, jobs::LoadSequence& load, QWidget* window);

    /// Runs the command (a command that works behind the busy notice ends later: see finished).
    void run(jobs::Command command);
    /// Tells the user what start-up found of a restore that had been stopped half-way.
    void tellInterruptedRestore(favorites::InterruptedRestore found, const platform::Failure& failure);
    /// Tells the user that a load of the table ended unexpectedly (failure), leaving it empty.
    void tellLoadFailure(const platform::Failure& failure);

signals:
    /// A command failed; the text (also shown in a message box) names the command and what failed.
    void failed(const QString& message);
    /// A command that changes data is over: done, refused or failed, and the user told.
    void finished(jobs::Command command);

private:
    bool confirmSaveWithoutAnswers() override;
    bool confirmDeleteForGood(jobs::Command command, const QStringList& paths,
                              const platform::SystemError& why) override;
    QString replacedFavoritesName() override;
    void reportFailure(jobs::Command command, const platform::Failure& failure) override;
    void reportDone(jobs::Command command, const jobs::CommandReport& report) override;

    checker::LinkChecker& m_checker;
    jobs::LoadSequence& m_load;
    jobs::CommandRules m_rules;
    QWidget* m_window;
};

} // namespace ui
