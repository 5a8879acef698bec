#include "ui/controls/group_box.h"

#include <QPainter>

#include "ui/controls/skin.h"

namespace tovra::ui {

GroupBox::GroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void GroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int title_height = metrics.height();
    const QColor line = isEnabled() ? QColor(kGroupLine) : QColor(kGroupLine).lighter(130);
    painter.setPen(line);
    painter.drawRect(rect().adjusted(0, title_height / 2, -1, -1));

    const QString caption = title();
    if (caption.isEmpty()) {
        return;
    }
    const QRect caption_rect(6, 0, metrics.horizontalAdvance(caption) + 4, title_height);
    painter.fillRect(caption_rect, palette().window());
    painter.setPen(isEnabled() ? QColor(kGroupTitle)
                               : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption_rect, Qt::AlignCenter, caption);
}

}  // namespace tovra::ui
