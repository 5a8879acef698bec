#pragma once

#include <QStyledItemDelegate>

namespace tovra {

// Draws a port entry in the drop-down as its name followed by its description.
class PortItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    static constexpr int kDescriptionRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace tovra
