#include "ui/LinkTableModel.h"

#include "table/LinkTable.h"
#include "table/Loader.h"
#include "ui/FailureText.h"

namespace ui
{

namespace
{

// The grid shows this much of an address at most (or of a sentence that holds one, such as where a favorite has
// moved to), in its cell, its tool tip and its accessible text: more never fits on a screen, and laying out an
// address of a megabyte for its tool tip took the window seconds. The table keeps the whole address, and the edit
// dialog shows it.
constexpr qsizetype kShownLength = 2000;

QString shownPart(const QString& text)
{
    if (text.size() <= kShownLength)
        return text;
    qsizetype cut = kShownLength;
    if (text.at(cut - 1).isHighSurrogate())
        --cut; // not half of a character
    return text.left(cut) + QChar(0x2026);
}

} // namespace

LinkTableModel::LinkTableModel(const table::LinkTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table)
{
    connect(&m_table, &table::LinkTable::rowsAboutToBeReset, this, &LinkTableModel::beginResetModel);
    connect(&m_table, &table::LinkTable::rowsReset, this, [this] {
        m_cleared = false;
        endResetModel();
    });
    connect(&m_table, &table::LinkTable::rowsChanged, this, &LinkTableModel::rowsChanged);
}

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
    if (dataRowCount() > 0)
        emit dataChanged(index(0, ResultColumn), index(rowCount() - 1, ColumnCount - 1), {Qt::DecorationRole});
}

void LinkTableModel::clear()
{
    beginResetModel();
    m_cleared = true;
    endResetModel();
}

int LinkTableModel::dataRowCount() const
{
    return m_cleared ? 0 : m_table.rowCount();
}

const table::LinkRow* LinkTableModel::favorite(int row) const
{
    return row >= 1 && row <= dataRowCount() ? &m_table.row(row) : nullptr;
}

void LinkTableModel::rowsChanged(int first, int last)
{
    if (dataRowCount() == 0 || first > last)
        return;
    emit dataChanged(index(first - 1, 0), index(last - 1, ColumnCount - 1));
}

QString LinkTableModel::cell(int row, int column) const
{
    if (row < 1 || row > dataRowCount())
        return QString();
    const table::LinkRow& r = m_table.row(row);
    switch (column) {
    case FolderColumn:
        return r.folder;
    case NameColumn:
        return table::displayName(r.fileName);
    case AddressColumn:
        return r.url;
    case ResultColumn:
        return table::verdictText(r.outcome.verdict);
    case History1Column:
    case History2Column:
    case History3Column:
    case History4Column:
        return r.history.checks[std::size_t(column - History1Column)].text();
    default:
        return QString();
    }
}

table::Verdict LinkTableModel::shownVerdict(int row, int column) const
{
    const table::LinkRow& r = m_table.row(row);
    if (column == ResultColumn)
        return r.outcome.verdict;
    if (column >= History1Column && column <= History4Column)
        return r.history.checks[std::size_t(column - History1Column)].verdict();
    return table::Verdict::None;
}

int LinkTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return qMax(1, dataRowCount());
}

int LinkTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LinkTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || index.row() >= dataRowCount())
        return QVariant();
    QString value = cell(index.row() + 1, index.column());
    if (index.column() == AddressColumn)
        value = shownPart(value);
    const table::Verdict verdict = shownVerdict(index.row() + 1, index.column());
    const bool picture = verdict != table::Verdict::None;
    switch (role) {
    case Qt::DisplayRole:
        return picture ? QVariant() : QVariant(value);
    case Qt::DecorationRole:
        if (picture)
            return verdict == table::Verdict::Alive ? m_yes : m_no;
        return QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        // Why this check judged the favorite so; where nothing is known of it, the tool tip is the verdict's word.
        if (index.column() == ResultColumn) {
            const QString why = outcomeText(m_table.row(index.row() + 1).outcome);
            if (!why.isEmpty())
                return shownPart(why);
        }
        if (role == Qt::AccessibleDescriptionRole)
            return QVariant();
        Q_FALLTHROUGH();
    case Qt::AccessibleTextRole:
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

} // namespace ui
