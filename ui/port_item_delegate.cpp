#include "ui/port_item_delegate.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>

namespace tovra {

namespace {
constexpr int kGap = 12;
}

void PortItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString name = item.text;
    const QString description = index.data(kDescriptionRole).toString();
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QRect area = option.rect.adjusted(4, 0, -4, 0);
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (!description.isEmpty()) {
        const QRect rest = area.adjusted(NameColumn(option, name) + kGap, 0, 0, 0);
        QColor dim = painter->pen().color();
        dim.setAlphaF(0.65F);
        painter->setPen(dim);
        painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(description, Qt::ElideRight, rest.width()));
    }
    painter->restore();
}

QSize PortItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString description = index.data(kDescriptionRole).toString();
    if (!description.isEmpty()) {
        const QString name = index.data(Qt::DisplayRole).toString();
        size.setWidth(8 + NameColumn(option, name) + kGap +
                      option.fontMetrics.horizontalAdvance(description));
    }
    return size;
}

int PortItemDelegate::NameColumn(const QStyleOptionViewItem& option, const QString& name) const {
    return std::max(name_width_, option.fontMetrics.horizontalAdvance(name));
}

}  // namespace tovra
