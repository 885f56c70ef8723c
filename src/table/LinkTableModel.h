#pragma once

#include <array>

#include <QAbstractTableModel>
#include <QPixmap>
#include <QString>
#include <QVector>

namespace table {

/// The grid of the main window: the header row and the data rows, cell by cell.
///
/// It keeps its own cell values, like a grid control: a reset empties it while the per-row arrays stay,
/// and the loader, the checker and the edit dialog write the cells they change. Grid row i (1-based,
/// row 0 being the header) is model row i - 1. With no favorites the grid still shows one blank row.
/// Result columns show "YES" and "NO" as pictures (with that word as accessible text) and any other
/// value as text.
class LinkTableModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LinkTableModel)

public:
    enum Column
    {
        FolderColumn = 0,
        NameColumn,
        AddressColumn,
        ResultColumn,
        History1Column,
        History2Column,
        History3Column,
        History4Column,
        ColumnCount
    };
    using RowCells = std::array<QString, ColumnCount>;

    explicit LinkTableModel(QObject* parent = nullptr);

    /// The header texts, left to right.
    static QStringList headerTexts();
    /// Column widths in twips, left to right.
    static QVector<int> columnWidthsTwips();

    /// The pictures that stand for "YES" and "NO" in result columns.
    void setResultPictures(const QPixmap& yes, const QPixmap& no);

    /// Back to the header and one blank row.
    void clear();
    /// Replaces every data row at once (an empty list leaves one blank row).
    void setRows(QVector<RowCells> rows);
    /// Writes one cell of grid row `row` (1-based); rows outside the data rows are ignored.
    void setCell(int row, int column, const QString& value);
    /// The value of one cell of grid row `row` (1-based); empty outside the data rows.
    QString cell(int row, int column) const;
    /// Number of data rows holding favorites (0 when only the blank row shows).
    int dataRowCount() const { return int(m_rows.size()); }

    static bool isResultColumn(int column) { return column >= ResultColumn && column < ColumnCount; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<RowCells> m_rows;
    QPixmap m_yes;
    QPixmap m_no;
};

} // namespace table
