#pragma once

#include <memory>

#include <QMainWindow>

#include "jobs/AppState.h"
#include "jobs/CommandRules.h"
#include "jobs/LoadSequence.h"
#include "ui/FavoritesGrid.h"
#include "ui/LinkTableModel.h"

class QAction;
class QLabel;
class QSlider;

namespace checker
{
class LinkChecker;
}

namespace ui
{

class BusyNotice;
class ChannelDials;
class CommandBar;
class Commands;
class GridPanel;
class HttpsOption;
class StatusPanels;

/// The main window: the toolbar with the eight commands and the thread-count slider, the grid of favorites with
/// the choice of what it shows and the window's options above it, one dial per probe channel, the status bar and
/// the busy notice.
///
/// Children are placed by the window's own layout rule (in twips, 15 per pixel) on a client widget that fills
/// the window; the window itself is a QMainWindow only so that screen readers see a frame with a status bar. The
/// window shows what the core reports: the commands' rules live in jobs::CommandRules (worded by Commands), the
/// loading of the table in jobs::LoadSequence, the data in the AppState it is given. It opens centred on the screen
/// and cannot be made so small that its parts overlap.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    /// Builds the window and runs the start-up sequence: finds the Favorites folder, collects the files and
    /// schedules the table load.
    explicit MainWindow(jobs::AppState& state, QWidget* parent = nullptr);
    /// Work still running stops at its next safe point first, with the window already out of sight.
    ~MainWindow() override;

    /// Resets the grid to its header and one blank row and empties the information panel.
    void clearGrid();

    /// The text of status bar panel 1..7.
    QString panelText(int panel) const;
    LinkTableModel& model() { return m_model; }
    checker::LinkChecker& checker() { return *m_checker; }
    jobs::LoadSequence& loadSequence() { return *m_load; }
    FavoritesGrid* grid() const;
    /// The grid with the bar above it: the grid's place in the window's layout.
    GridPanel* gridPanel() const { return m_gridPanel; }
    HttpsOption* httpsOption() const { return m_httpsOption; }
    BusyNotice* busyNotice() const { return m_busyNotice; }
    QSlider* slider() const;
    CommandBar* toolbar() const { return m_toolbar; }
    StatusPanels* statusPanels() const { return m_statusBar; }
    /// Status bar panel 1..7.
    QLabel* panel(int panel) const;
    /// The action of the command's toolbar button.
    QAction* action(jobs::Command command) const;
    /// The dial of probe channel i (0-based).
    QLabel* indicator(int channel) const;
    int indicatorCount() const;

public slots:
    /// Runs the command of the toolbar button that was pressed.
    void runCommand(jobs::Command command);
    /// Opens the edit dialog for table row `row` (1-based); rows without a favorite are ignored.
    void openEditor(int row);

signals:
    /// The table has been (re)loaded and the busy notice hidden.
    void tableLoaded();
    /// A command failed; the text (also shown in a message box) names the command and what failed.
    void commandFailed(const QString& message);
    /// A command that changes data is over (it may run behind the busy notice, after runCommand returned).
    void commandFinished(jobs::Command command);
    /// The check has ended (the message box "检测完毕" is about to show).
    void checkFinished();

private:
    void setupToolbar();
    void setupLoadSequence();
    void enableDataCommands(bool enabled);
    void setupChecker();
    void setupKeyboard();
    void centreOnScreen();
    void updateMinimumSize();
    void showIndicator(int channel, int picture);
    void layOut();

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

    jobs::AppState& m_state;
    LinkTableModel m_model;
    checker::LinkChecker* m_checker = nullptr;
    jobs::LoadSequence* m_load = nullptr;
    Commands* m_commands = nullptr;
    QWidget* m_client = nullptr; // fills the window and holds every visible part
    CommandBar* m_toolbar = nullptr;
    GridPanel* m_gridPanel = nullptr;
    HttpsOption* m_httpsOption = nullptr;
    StatusPanels* m_statusBar = nullptr;
    BusyNotice* m_busyNotice = nullptr;
    std::unique_ptr<ChannelDials> m_dials;
};

} // namespace ui
