#pragma once

#include <array>
#include <vector>

#include <QMainWindow>
#include <QPixmap>
#include <QVector>

#include "platform/Failure.h"
#include "table/AppState.h"
#include "table/LinkTableModel.h"

class QAction;
class QFrame;
class QLabel;
class QSlider;
class QStatusBar;
class QTableView;
class QTimer;
class QToolBar;

namespace checker {
class LinkChecker;
}

namespace ui {

/// The main window: toolbar with the eight commands and the thread-count slider, the grid of favorites,
/// one indicator per probe channel, the status bar and the busy notice.
///
/// Children are placed by the window's own layout rule (in twips, 15 per pixel) on a client widget that fills
/// the window; the window itself is a QMainWindow only so that screen readers see a frame with a status bar.
/// The window shows what the core reports and runs the commands; the data lives in the AppState it is given.
/// It opens centred on the screen and cannot be made so small that its parts overlap.
class MainWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    /// Builds the window and runs the start-up sequence: finds the Favorites folder, collects the files
    /// and schedules the table load.
    explicit MainWindow(table::AppState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// Resets the grid to its header and one blank row and empties the information panel.
    void myClear();
    /// Stops every probe channel (the run then ends at the completion watch's next tick).
    void StopTh();

    /// The text of status bar panel 1..7.
    QString panelText(int panel) const;
    table::LinkTableModel& model() { return m_model; }
    checker::LinkChecker& checker() { return *m_checker; }
    QTableView* grid() const { return m_grid; }
    QFrame* busyNotice() const { return m_frame1; }
    QSlider* slider() const { return m_slider1; }
    QToolBar* toolbar() const { return m_toolbar1; }
    QStatusBar* statusPanels() const { return m_statusBar; }
    /// Status bar panel 1..7.
    QLabel* panel(int panel) const { return m_panels.at(panel - 1); }
    /// The action of the toolbar button with this key ("a".."h"); nullptr for any other key.
    QAction* action(const QString& key) const;
    /// The indicator of probe channel i (0-based).
    QLabel* indicator(int channel) const;
    int indicatorCount() const { return int(m_myShow.size()); }

public slots:
    /// Runs the command of the toolbar button with this key ("a".."h"); any other key does nothing.
    void Toolbar1_ButtonClick(const QString& key);
    /// Opens the edit dialog for grid row `row` (1-based); rows without a favorite are ignored.
    void MSHFlexGrid1_DblClick(int row);

signals:
    /// The table has been (re)loaded and the busy notice hidden.
    void tableLoaded();
    /// A command failed; the text (also shown in a message box) names the command and what failed.
    void commandFailed(const QString& message);
    /// The check has ended (the message box "检测完毕" is about to show).
    void checkFinished();

private slots:
    void Form_Load();
    void load_start_Timer();
    void load_ie_Timer();
    void load_stop_Timer();

private:
    void setupToolbar();
    void setupSliderGroup();
    void setupGrid();
    void setupStatusBar();
    void setupBusyNotice();
    void setupChecker();
    void setupKeyboard();
    enum CellScroll
    {
        FullScroll,    // the cell itself is brought into view
        VerticalScroll // only its row: the columns shown stay as they are
    };
    void setCurrentCell(int row, int column, CellScroll scroll = FullScroll);
    void followVerdict(int row);
    void centreOnScreen();
    void updateMinimumSize();
    void layoutStatusPanels();
    void setPanelText(int panel, const QString& text);
    void showFavoritesCount();
    void rebuildTable();
    void finishPendingLoad();
    void reportFailure(const QString& command, const platform::Failure& failure);
    void updateIndicators(int count);
    void Form_Resize();

    void saveResults();
    bool confirmSaveWithoutAnswers();
    void deleteInvalid();
    void backup();
    void restore();

    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

    table::AppState& m_state;
    table::LinkTableModel m_model;
    checker::LinkChecker* m_checker = nullptr;
    QToolBar* m_toolbar1 = nullptr;
    std::array<QAction*, 8> m_actions{};
    QSlider* m_slider1 = nullptr;
    QTableView* m_grid = nullptr;
    QWidget* m_client = nullptr; // fills the window and holds every visible part
    QStatusBar* m_statusBar = nullptr;
    std::array<QLabel*, 7> m_panels{};
    QFrame* m_frame1 = nullptr;
    QLabel* m_label1 = nullptr;
    std::vector<QLabel*> m_myShow;
    QVector<QPixmap> m_dial; // 1..12, element 0 unused
    QTimer* m_loadStart = nullptr;
    QTimer* m_loadIe = nullptr;
    QTimer* m_loadStop = nullptr;
    QTimer* m_dateTimer = nullptr;
    QTimer* m_followTimer = nullptr; // paces the current cell's moves after verdicts
    int m_followRow = 0;             // the row of the latest verdict not yet followed; 0 for none
};

} // namespace ui
