#pragma once

#include <vector>

#include <QMainWindow>
#include <QPixmap>
#include <QVector>

#include "jobs/AppState.h"
#include "jobs/CommandRules.h"
#include "jobs/LoadSequence.h"
#include "ui/FavoritesGrid.h"
#include "ui/LinkTableModel.h"

class QAction;
class QFrame;
class QLabel;
class QSlider;

namespace checker
{
class LinkChecker;
}

namespace ui
{

class CommandBar;
class Commands;
class StatusPanels;

/// The main window: the toolbar with the eight commands and the thread-count slider, the grid of favorites, one
/// indicator per probe channel, the status bar and the busy notice.
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
    void myClear();
    /// Stops every probe channel (the run then ends at the completion watch's next tick).
    void StopTh();

    /// The text of status bar panel 1..7.
    QString panelText(int panel) const;
    LinkTableModel& model() { return m_model; }
    checker::LinkChecker& checker() { return *m_checker; }
    jobs::LoadSequence& loadSequence() { return *m_load; }
    FavoritesGrid* grid() const { return m_grid; }
    QFrame* busyNotice() const { return m_busyNotice; }
    QSlider* slider() const;
    CommandBar* toolbar() const { return m_toolbar; }
    StatusPanels* statusPanels() const { return m_statusBar; }
    /// Status bar panel 1..7.
    QLabel* panel(int panel) const;
    /// The action of the command's toolbar button.
    QAction* action(jobs::Command command) const;
    /// The indicator of probe channel i (0-based).
    QLabel* indicator(int channel) const;
    int indicatorCount() const { return int(m_indicators.size()); }

public slots:
    /// Runs the command of the toolbar button that was pressed.
    void Toolbar1_ButtonClick(jobs::Command command);
    /// Opens the edit dialog for grid row `row` (1-based); rows without a favorite are ignored.
    void MSHFlexGrid1_DblClick(int row);

signals:
    /// The table has been (re)loaded and the busy notice hidden.
    void tableLoaded();
    /// A command failed; the text (also shown in a message box) names the command and what failed.
    void commandFailed(const QString& message);
    /// A command that changes data is over (it may run behind the busy notice, after Toolbar1_ButtonClick returned).
    void commandFinished(jobs::Command command);
    /// The check has ended (the message box "检测完毕" is about to show).
    void checkFinished();

private:
    void Form_Load();
    void setupBusyNotice();
    void showProgress(jobs::LongWork kind, int done, int total);
    void fitBusyNotice();
    void enableDataCommands(bool enabled);
    void setupChecker();
    void setupKeyboard();
    void centreOnScreen();
    void updateMinimumSize();
    void showIndicator(int channel, int picture);
    void updateIndicators(int count);
    void Form_Resize();

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

    jobs::AppState& m_state;
    LinkTableModel m_model;
    checker::LinkChecker* m_checker = nullptr;
    jobs::LoadSequence* m_load = nullptr;
    Commands* m_commands = nullptr;
    QWidget* m_client = nullptr; // fills the window and holds every visible part
    CommandBar* m_toolbar = nullptr;
    FavoritesGrid* m_grid = nullptr;
    StatusPanels* m_statusBar = nullptr;
    QFrame* m_busyNotice = nullptr;
    QLabel* m_busyText = nullptr;      // the notice's text: what the work is and how far it has come
    int m_busyTextWidth = 0;           // the text's width as designed
    std::vector<QLabel*> m_indicators; // one per probe channel
    QVector<QPixmap> m_dial;           // 1..12, element 0 unused
};

} // namespace ui
