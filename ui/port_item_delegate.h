#pragma once

#include <QStyledItemDelegate>

namespace tovra {

// Draws a port entry in the drop-down as its name followed by its description.
class PortItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    static constexpr int kDescriptionRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    // Descriptions start at this offset, so that they line up in a column.
    void SetNameWidth(int width) { name_width_ = width; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    int NameColumn(const QStyleOptionViewItem& option, const QString& name) const;

    int name_width_ = 0;
};

}  // namespace tovra
