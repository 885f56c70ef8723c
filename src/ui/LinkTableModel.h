#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QString>
#include <QVector>

#include "table/Verdict.h"

namespace table
{
class LinkTable;
struct LinkRow;
} // namespace table

namespace ui
{

/// The grid of the main window: a read-only view of the link table, eight columns, no copy of its own.
///
/// Grid row i (1-based, row 0 being the header) is model row i - 1 and shows table row i. With no favorites,
/// or after clear() until the table is loaded again, the grid shows one blank row. Result columns show "YES"
/// and "NO" as pictures (with that word as accessible text) and any other value as text; the 结果 cell of a favorite
/// asked in this check tells why in its tool tip and accessible description (ui::outcomeText). The address column
/// shows the first few thousand characters of a longer address, followed by "…"; cell() gives it whole.
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

    /// A view of table, which must outlive it.
    explicit LinkTableModel(const table::LinkTable& table, QObject* parent = nullptr);

    /// The header texts, left to right.
    static QStringList headerTexts();
    /// Column widths in twips, left to right.
    static QVector<int> columnWidthsTwips();

    /// The pictures that stand for "YES" and "NO" in result columns.
    void setResultPictures(const QPixmap& yes, const QPixmap& no);

    /// Back to the header and one blank row until the table is next loaded; the table keeps its rows.
    void clear();
    /// The value behind one cell of grid row `row` (1-based): a picture by its word, an address whole; empty outside
    /// the rows shown.
    QString cell(int row, int column) const;
    /// Number of grid rows showing a favorite (0 when only the blank row shows).
    int dataRowCount() const;
    /// The favorite grid row `row` (1-based) shows; null outside the rows shown.
    const table::LinkRow* favorite(int row) const;

    static bool isResultColumn(int column) { return column >= ResultColumn && column < ColumnCount; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void rowsChanged(int first, int last);
    /// The verdict a result column of grid row `row` shows as a picture; None for text.
    table::Verdict shownVerdict(int row, int column) const;

    const table::LinkTable& m_table;
    bool m_cleared = false;
    QPixmap m_yes;
    QPixmap m_no;
};

} // namespace ui
