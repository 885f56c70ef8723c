#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVector>

namespace ui
{

class LinkTableModel;

/// What the grid shows of the link table: every favorite, or only those that need the user, sorted by a column
/// when the user asks (a click on its header), else in the table's order. It only shows: the check and every
/// command work on the table itself, whatever is shown.
class FavoritesFilter : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FavoritesFilter)

public:
    /// Which favorites are shown, in the order of the choice 显示.
    enum class Shown
    {
        All,           // 全部收藏: every row, the blank one of an empty grid included
        DeadThisCheck, // 本次无应答: the rows this check judged dead
        ToBeDeleted, // 将被删除: the rows 删除收藏夹无效地址 would delete now (History::failedEveryCheck)
    };

    /// The names of the choices, in the order of Shown.
    static QStringList shownNames();

    /// A view of model, which must outlive it; shows every row, in the table's order.
    explicit FavoritesFilter(LinkTableModel& model, QObject* parent = nullptr);

    Shown shown() const { return m_shown; }
    void setShown(Shown shown);

    /// Sorts by the column (-1: the table's order); a text column by its collation keys, made once for every row.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    /// Folder, name and address in the order of Chinese collation, figures by their value; a result column by its
    /// text ("" before "NO" before "YES"). Rows that compare equal keep the table's order.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    void makeSortKeys(int column);

    LinkTableModel& m_model;
    Shown m_shown = Shown::All;
    QCollator m_collator;
    // The collation key of every model row's cell in the sorted text column: comparing keys is a comparison of bytes,
    // where comparing the texts themselves took seconds for 100,000 rows. Kept up to date with the rows.
    QVector<QCollatorSortKey> m_sortKeys;
    int m_sortKeysColumn = -1;
};

} // namespace ui
