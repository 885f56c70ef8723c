#include "ui/ResultDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace ui
{

void ResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (!decoration.canConvert<QPixmap>() || decoration.value<QPixmap>().isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Background and selection as for any cell, then the picture in the middle.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QPixmap pixmap = decoration.value<QPixmap>();
    const QSize size = pixmap.deviceIndependentSize().toSize();
    const QPoint topLeft(option.rect.x() + (option.rect.width() - size.width()) / 2,
                         option.rect.y() + (option.rect.height() - size.height()) / 2);
    painter->drawPixmap(topLeft, pixmap);
}

} // namespace ui
