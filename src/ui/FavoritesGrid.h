#pragma once

#include <QTableView>

#include "jobs/AppState.h"

class QTimer;

namespace ui
{

class FavoritesFilter;
class LinkTableModel;
class RowMenu;

/// The grid of favorites: the link table as the model shows it, through the filter of what is shown and the sort the
/// user chose (a click on a column header; again, the other way), in the grid's fonts, colours and column widths.
/// Everything it says about rows is in table rows (1-based), whatever is shown and however sorted.
///
/// A double click, or Return, the keypad's Enter or F2 on a row, asks for that row's edit dialog. The right button,
/// the Menu key or Shift+F10 opens the row's menu (RowMenu); Ctrl+C copies the current row's address. Its current
/// cell follows what was last written: after a load the last row, during a check the result just written (paced, as
/// forty channels give hundreds of verdicts a second), after an edit the row's address.
class FavoritesGrid : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FavoritesGrid)

public:
    enum CellScroll
    {
        FullScroll,    // the cell itself is brought into view
        VerticalScroll // only its row: the columns shown stay as they are
    };

    /// A grid showing model, which must outlive it, with the menu acting on state's favorites.
    FavoritesGrid(jobs::AppState& state, LinkTableModel& model, QWidget* parent);

    /// Row `row` (1-based) and the column become the current cell, scrolled into view; nothing for a row that shows
    /// no favorite or is not shown. It wins over a verdict waiting to be followed.
    void setCurrentCell(int row, int column, CellScroll scroll = FullScroll);
    /// A verdict has been written into row `row`: its result cell becomes current, at once or at the next pace.
    void followVerdict(int row);
    /// The table row a cell of the grid shows; 0 for none (no favorite there, or an invalid index).
    int tableRow(const QModelIndex& index) const;
    /// The grid's index of a table row's cell; invalid when it is not shown.
    QModelIndex indexOf(int row, int column) const;
    /// Whether the menu's 修改 and 改为新地址 may act.
    void setEditsAllowed(bool allowed);

    FavoritesFilter* filter() const { return m_filter; }
    RowMenu* rowMenu() const { return m_menu; }

signals:
    /// The edit dialog is asked for row `row` (1-based; the caller ignores rows without a favorite).
    void rowActivated(int row);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void openMenu(const QModelIndex& index);

    LinkTableModel& m_model;
    FavoritesFilter* m_filter = nullptr;
    RowMenu* m_menu = nullptr;
    QTimer* m_followTimer = nullptr; // paces the current cell's moves after verdicts
    int m_followRow = 0;             // the row of the latest verdict not yet followed; 0 for none
};

} // namespace ui
