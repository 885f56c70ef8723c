#include "ui/FavoritesFilter.h"

#include "table/LinkTable.h"
#include "ui/LinkTableModel.h"

namespace ui
{

QStringList FavoritesFilter::shownNames()
{
    return {QStringLiteral("全部收藏"), QStringLiteral("本次无应答"), QStringLiteral("将被删除")};
}

FavoritesFilter::FavoritesFilter(LinkTableModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), m_model(model), m_collator(QLocale(QLocale::Chinese, QLocale::China))
{
    m_collator.setNumericMode(true);
    // Before the proxy's own connections: the keys are right by the time it sorts the rows again.
    connect(&model, &QAbstractItemModel::modelReset, this, [this] { makeSortKeys(sortColumn()); });
    connect(&model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        if (m_sortKeysColumn < 0 || to.row() >= m_sortKeys.size())
            return;
        for (int row = from.row(); row <= to.row(); ++row)
            m_sortKeys[row] = m_collator.sortKey(m_model.cell(row + 1, m_sortKeysColumn));
    });
    setSourceModel(&model);
}

void FavoritesFilter::sort(int column, Qt::SortOrder order)
{
    if (column != m_sortKeysColumn)
        makeSortKeys(column);
    QSortFilterProxyModel::sort(column, order);
}

void FavoritesFilter::makeSortKeys(int column)
{
    m_sortKeys.clear();
    m_sortKeysColumn = -1;
    if (column < 0 || LinkTableModel::isResultColumn(column))
        return;
    const int rows = m_model.rowCount();
    m_sortKeys.reserve(rows);
    for (int row = 1; row <= rows; ++row)
        m_sortKeys.append(m_collator.sortKey(m_model.cell(row, column)));
    m_sortKeysColumn = column;
}

void FavoritesFilter::setShown(Shown shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    invalidateFilter();
}

bool FavoritesFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (m_shown == Shown::All)
        return true;
    const table::LinkRow* row = m_model.favorite(sourceRow + 1);
    if (!row)
        return false;
    if (m_shown == Shown::DeadThisCheck)
        return row->outcome.verdict == table::Verdict::Dead;
    return row->history.failedEveryCheck();
}

bool FavoritesFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (left.column() == m_sortKeysColumn && left.row() < m_sortKeys.size() && right.row() < m_sortKeys.size())
        return m_sortKeys.at(left.row()).compare(m_sortKeys.at(right.row())) < 0;
    const QString a = m_model.cell(left.row() + 1, left.column());
    const QString b = m_model.cell(right.row() + 1, right.column());
    if (LinkTableModel::isResultColumn(left.column()))
        return a < b;
    return m_collator.compare(a, b) < 0;
}

} // namespace ui
