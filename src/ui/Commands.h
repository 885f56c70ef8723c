#pragma once

#include <vector>

#include <QKeySequence>
#include <QObject>
#include <QString>

#include "platform/Failure.h"
#include "table/AppState.h"

class QWidget;

namespace checker
{
class LinkChecker;
}

namespace ui
{

class LoadSequence;

/// The eight toolbar commands: each one's key, its name (the button's tooltip), its picture, its keyboard
/// shortcut and what it does. The toolbar is made from this table; adding a command is adding a row.
///
/// Commands that change the Favorites folder or the results file reload the table from disk afterwards. A
/// failure is shown in a message box that names the command and what failed, and reported by failed().
class Commands : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Commands)

public:
    struct Command
    {
        QString key;           // "a".."h"
        QString tooltip;       // the command's name, exactly as the button shows it
        int cell;              // its picture in the toolbar strip (ui::ToolbarCell)
        QKeySequence shortcut; // the usual key where there is one, else Ctrl and an initial
        void (Commands::*run)();
    };

    /// Every command, in its order on the toolbar.
    static const std::vector<Command>& all();

    /// Commands working on state, the checker and the load sequence; message boxes open over window.
    Commands(table::AppState& state, checker::LinkChecker& checker, LoadSequence& load, QWidget* window);

    /// Runs the command with this key to its end; any other key does nothing.
    void run(const QString& key);

    void startCheck();    // "a"
    void stopCheck();     // "b"
    void saveResults();   // "c"
    void deleteInvalid(); // "d"
    void backup();        // "e"
    void restore();       // "f"
    void about();         // "g"
    void exit();          // "h"

signals:
    /// A command failed; the text (also shown in a message box) names the command and what failed.
    void failed(const QString& message);

private:
    bool confirmSaveWithoutAnswers();
    /// False, with the command's failure reported, when there is no usable Favorites folder.
    bool favoritesFolderUsable(const QString& command);
    void reportFailure(const QString& command, const platform::Failure& failure);

    table::AppState& m_state;
    checker::LinkChecker& m_checker;
    LoadSequence& m_load;
    QWidget* m_window;
};

} // namespace ui
