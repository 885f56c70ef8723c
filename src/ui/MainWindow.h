#pragma once

#include <array>

#include <QWidget>

#include "table/AppState.h"
#include "table/LinkTableModel.h"

class QFrame;
class QLabel;
class QTableView;
class QTimer;

namespace ui {

/// The main window: toolbar, grid, channel indicators, status bar and the busy notice.
///
/// All children are placed by the window's own layout rule (in twips, 15 per pixel), so the
/// geometry is the same on every platform style.
class MainWindow : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    /// Builds the window and runs the start-up sequence: finds the Favorites folder, collects the files
    /// and schedules the table load.
    explicit MainWindow(table::AppState& state, QWidget* parent = nullptr);

    /// Resets the grid to its header and one blank row and empties the information panel.
    void myClear();

    /// The text of status bar panel 1..7.
    QString panelText(int panel) const;
    table::LinkTableModel& model() { return m_model; }
    QTableView* grid() const { return m_grid; }
    QFrame* busyNotice() const { return m_frame1; }

signals:
    /// The table has been (re)loaded and the busy notice hidden.
    void tableLoaded();

private slots:
    void Form_Load();
    void load_start_Timer();
    void load_ie_Timer();
    void load_stop_Timer();

private:
    void setupGrid();
    void setupStatusBar();
    void setupBusyNotice();
    void setPanelText(int panel, const QString& text);
    void showFavoritesCount();
    void Form_Resize();

    void resizeEvent(QResizeEvent* event) override;

    table::AppState& m_state;
    table::LinkTableModel m_model;
    QTableView* m_grid = nullptr;
    QWidget* m_statusBar = nullptr;
    std::array<QLabel*, 7> m_panels{};
    QFrame* m_frame1 = nullptr;
    QLabel* m_label1 = nullptr;
    QTimer* m_loadStart = nullptr;
    QTimer* m_loadIe = nullptr;
    QTimer* m_loadStop = nullptr;
    QTimer* m_dateTimer = nullptr;
};

} // namespace ui
