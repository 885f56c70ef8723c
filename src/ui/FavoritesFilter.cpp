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
    setSourceModel(&model);
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
    const QString a = m_model.cell(left.row() + 1, left.column());
    const QString b = m_model.cell(right.row() + 1, right.column());
    if (LinkTableModel::isResultColumn(left.column()))
        return a < b;
    return m_collator.compare(a, b) < 0;
}

} // namespace ui
