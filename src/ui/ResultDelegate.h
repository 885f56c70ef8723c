#pragma once

#include <QStyledItemDelegate>

namespace ui
{

/// Draws a cell's picture centred both ways (the grid's verdict pictures); other cells as usual.
class ResultDelegate : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultDelegate)

public:
    explicit ResultDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace ui
