#pragma once

#include <QTableView>

class QTimer;

namespace ui
{

class LinkTableModel;

/// The grid of favorites: the link table as the model shows it, in the grid's fonts, colours and column widths.
/// A double click, or Return, the keypad's Enter or F2 on a row, asks for that row's edit dialog. Its current cell
/// follows what was last written: after a load the last row, during a check the result just written (paced, as
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

    /// A grid showing model, which must outlive it.
    FavoritesGrid(LinkTableModel& model, QWidget* parent);

    /// Row `row` (1-based) and the column become the current cell, scrolled into view; nothing for a row that shows
    /// no favorite. It wins over a verdict waiting to be followed.
    void setCurrentCell(int row, int column, CellScroll scroll = FullScroll);
    /// A verdict has been written into row `row`: its result cell becomes current, at once or at the next pace.
    void followVerdict(int row);

signals:
    /// The edit dialog is asked for row `row` (1-based; the caller ignores rows without a favorite).
    void rowActivated(int row);

private:
    LinkTableModel& m_model;
    QTimer* m_followTimer = nullptr; // paces the current cell's moves after verdicts
    int m_followRow = 0;             // the row of the latest verdict not yet followed; 0 for none
};

} // namespace ui
