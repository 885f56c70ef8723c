#include "table/LinkTableModel.h"

#include <utility>

#include "table/LinkTable.h"

namespace table {

LinkTableModel::LinkTableModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList LinkTableModel::headerTexts()
{
    return {QStringLiteral("路径"), QStringLiteral("名称"), QStringLiteral("地址"), QStringLiteral("结果"),
            QStringLiteral("一次"), QStringLiteral("二次"), QStringLiteral("三次"), QStringLiteral("四次")};
}

QVector<int> LinkTableModel::columnWidthsTwips()
{
    return {2000, 4200, 6000, 500, 500, 500, 500, 500};
}

void LinkTableModel::setResultPictures(const QPixmap& yes, const QPixmap& no)
{
    m_yes = yes;
    m_no = no;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, ResultColumn), index(rowCount() - 1, ColumnCount - 1), {Qt::DecorationRole});
}

void LinkTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void LinkTableModel::setRows(QVector<RowCells> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void LinkTableModel::setCell(int row, int column, const QString& value)
{
    if (row < 1 || row > m_rows.size() || column < 0 || column >= ColumnCount)
        return;
    m_rows[row - 1][column] = value;
    const QModelIndex at = index(row - 1, column);
    emit dataChanged(at, at);
}

QString LinkTableModel::cell(int row, int column) const
{
    if (row < 1 || row > m_rows.size() || column < 0 || column >= ColumnCount)
        return QString();
    return m_rows.at(row - 1)[column];
}

int LinkTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_rows.isEmpty() ? 1 : int(m_rows.size());
}

int LinkTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LinkTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.row() >= m_rows.size())
        return QVariant();
    const QString& value = m_rows.at(index.row())[index.column()];
    const bool picture = isResultColumn(index.column()) && (value == kYes || value == kNo);
    switch (role) {
    case Qt::DisplayRole:
        return picture ? QVariant() : QVariant(value);
    case Qt::DecorationRole:
        if (picture)
            return value == kYes ? m_yes : m_no;
        return QVariant();
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return picture || index.column() == AddressColumn ? QVariant(value) : QVariant();
    case Qt::TextAlignmentRole:
        return isResultColumn(index.column()) ? QVariant(Qt::AlignHCenter | Qt::AlignTop)
                                              : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant LinkTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headerTexts().at(section);
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace table
