#pragma once

#include <atomic>
#include <memory>
#include <utility>

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include "jobs/AppState.h"
#include "jobs/CommandRules.h"

namespace jobs
{
class LoadSequence;
}

namespace ui
{
class LinkTableModel;
class MainWindow;
} // namespace ui

class QWidget;

namespace testsupport
{

/// The data rows of the grid, each as its eight cells joined by "|".
QStringList gridRows(const ui::LinkTableModel& model);

/// Where the main window's parts stand in its client area: in pixels for a window, in twips for a computed layout.
struct WindowParts
{
    QRect client;
    QRect toolbar;
    QRect grid; // the grid with the bar above it
    QRectF busyNotice;
    QVector<QRect> dials; // one per channel, in channel order
    QRect statusBar;
};

/// The parts of the window as they stand now.
WindowParts windowParts(const ui::MainWindow& window);

/// What a user would see wrong in a window at least its minimum size, one line each (empty when nothing): the toolbar
/// and the status bar not across the top and the bottom, the grid not filling the width and the height left by
/// the toolbar, the rows of dials and the status bar, dials that overlap each other, the grid or the status bar,
/// dials out of their rows (in channel order from the left edge, each row as full as the width allows, all alike),
/// the busy notice off the client area's centre or off the grid (above or below it, or beside it where the grid is
/// wider than the notice). `slack` is the rounding allowed, in the parts' unit.
QStringList layoutFaults(const WindowParts& parts, int slack);

/// The texts and pictures under root (root included, hidden widgets left out) that a user would see cut off, one line
/// each: a label's or a push button's text whose glyphs, drawn in its own font, reach outside the room it has, a
/// label's picture larger than that room. Empty when everything shows whole.
QStringList cutOffTexts(const QWidget* root);

/// The visible children of container that stick out of it or overlap one another, one line each; `over` is the one
/// child meant to stand over others. Empty when they all stand apart inside it.
QStringList overlappingChildren(const QWidget* container, const QWidget* over = nullptr);

/// Runs `testFunction` ("function" or "function:row") of this test binary again in a child process for each further
/// stand-in for 宋体 installed here, with fontconfig hiding the stand-ins before it so that the child draws with it;
/// childRunValue() names that stand-in there. Returns a line and the child's output for each child that failed; empty
/// when they all passed, and where there is no other stand-in or no fontconfig to hide one.
QStringList rerunWithOtherStandIns(const QString& testFunction);

/// A temporary folder holding a Favorites folder "Favorites" and a program folder "prog", and the program's state.
/// The Recycle Bin (the freedesktop Trash) is the test process's own (emptyTrash), empty when the fixture is made.
class FavoritesFixture
{
public:
    FavoritesFixture();
    virtual ~FavoritesFixture();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString fav() const { return m_fav; }
    QString program() const { return m_program; }
    QString backup() const;
    QString results() const;
    /// The Trash folder, holding files/ and info/ once something was put in it.
    QString trash() const { return m_trash; }

    /// Writes a shortcut file for address at fav/relativePath, creating its folders.
    bool addFavorite(const QString& relativePath, const QString& address) const;
    /// Writes the results file from lines "relative folder|file name|v1|v2|v3|v4", the folder relative to
    /// the Favorites folder ("" or "/Sub"); each line is stored with the folder's full path.
    bool writeResults(const QStringList& lines) const;

    jobs::AppState state;

protected:
    /// Points the program at the Favorites folder (the fixture's by default) and the program folder.
    void prepare(const QString& favoritesValue, const QString& programFolder);

private:
    QTemporaryDir m_dir;
    QString m_fav;
    QString m_program;
    QString m_trash;
    QByteArray m_dataHomeBefore;
};

/// The fixture's folders and a main window started on them.
class WindowFixture : public FavoritesFixture
{
public:
    WindowFixture();
    ~WindowFixture() override;

    /// Opens the window with the given Favorites value (the fixture's Favorites folder by default) and program
    /// folder; its start-up has scheduled the first load, which the event loop then runs.
    void open(const QString& favoritesValue = QString(), const QString& programFolder = QString());
    /// Opens the window as open() does and waits for the first load. False when the load does not come.
    bool start(const QString& favoritesValue = QString(), const QString& programFolder = QString());
    /// Waits for the next load of the table.
    bool waitLoaded() const;
    /// Closes the window as the program's end does: work still running stops first.
    void close();

    ui::MainWindow& window() const { return *m_window; }

private:
    std::unique_ptr<ui::MainWindow> m_window;
};

/// Holds the worker of a load sequence at one step of every work it runs (the n-th entry), until opened or until the
/// sequence stops the work, so that a test sees the program while its work is under way, however fast the machine.
/// Opened when it goes.
class WorkerGate
{
public:
    WorkerGate(jobs::LoadSequence& load, int step);
    ~WorkerGate() { open(); }

    /// True once the worker has reached the step and waits there (or went on after it).
    bool isHeld() const { return m_state->held; }
    /// The highest step the worker has reached.
    int reached() const { return m_state->reached; }
    /// Lets the worker go on, now and at every later work.
    void open() { m_state->open = true; }

private:
    struct State
    {
        std::atomic<bool> held{false};
        std::atomic<bool> open{false};
        std::atomic<int> reached{0};
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

/// The fixture's folders and the commands' rules working on them, without a window: it answers the rules'
/// question as told and records what they report.
class CommandFixture : public FavoritesFixture, public jobs::CommandAnswers
{
public:
    CommandFixture();
    ~CommandFixture() override;

    /// Loads the table as start-up does, and waits for the load. False when it does not come.
    bool start(const QString& favoritesValue = QString(), const QString& programFolder = QString());
    /// Runs the command and waits until it is over, the load it scheduled included. False when it does not end.
    bool run(jobs::Command command);
    /// Runs the command's rule and returns at once, as a click does.
    void click(jobs::Command command);

    jobs::LoadSequence& load() const { return *m_load; }
    jobs::CommandRules& rules() const { return *m_rules; }

    // The user's answers to the dead-network question and to deleting for good, and what the rules asked and
    // reported.
    bool saveAnyway = false;
    bool deleteForGood = false;
    int questions = 0;
    QList<std::pair<jobs::Command, QStringList>> deleteQuestions;
    QList<std::pair<jobs::Command, platform::Failure>> failures;
    QList<std::pair<jobs::Command, jobs::CommandReport>> reports;
    int loads = 0;   // tables loaded since start
    int cleared = 0; // times the grid was told to show no rows

private:
    bool confirmSaveWithoutAnswers() override;
    bool confirmDeleteForGood(jobs::Command command, const QStringList& paths,
                              const platform::SystemError& why) override;
    QString replacedFavoritesName() override;
    void reportFailure(jobs::Command command, const platform::Failure& failure) override;
    void reportDone(jobs::Command command, const jobs::CommandReport& report) override;

    std::unique_ptr<jobs::LoadSequence> m_load;
    std::unique_ptr<jobs::CommandRules> m_rules;
};

} // namespace testsupport
