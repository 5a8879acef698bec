#include "ui/controls/status_bar.h"

#include <QPainter>

#include "ui/controls/skin.h"

namespace tovra::ui {

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {}

void StatusBar::AddPanel(int width, Qt::Alignment alignment) {
    panels_.push_back({width, alignment, QString()});
    update();
}

QString StatusBar::PanelText(int index) const {
    if (index < 0 || index >= PanelCount()) {
        return {};
    }
    return panels_[static_cast<std::size_t>(index)].text;
}

void StatusBar::SetPanelText(int index, const QString& text) {
    if (index < 0 || index >= PanelCount()) {
        return;
    }
    panels_[static_cast<std::size_t>(index)].text = text;
    update(PanelRect(index));
}

QRect StatusBar::PanelRect(int index) const {
    int left = 0;
    for (int i = 0; i < index; ++i) {
        left += panels_[static_cast<std::size_t>(i)].width;
    }
    return QRect(left, 0, panels_[static_cast<std::size_t>(index)].width, height());
}

void StatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(0xF3F5F8));
    fill.setColorAt(1, QColor(0xDDE3EA));
    painter.fillRect(rect(), fill);
    painter.setPen(QColor(kGroupLine));
    painter.drawLine(0, 0, width() - 1, 0);

    for (int i = 0; i < PanelCount(); ++i) {
        const QRect cell = PanelRect(i).adjusted(1, 3, -2, -2);
        painter.setPen(QColor(0xA7B4C2));
        painter.drawLine(cell.topLeft(), cell.topRight());
        painter.drawLine(cell.topLeft(), cell.bottomLeft());
        painter.setPen(Qt::white);
        painter.drawLine(cell.bottomLeft(), cell.bottomRight());
        painter.drawLine(cell.topRight(), cell.bottomRight());

        const Panel& panel = panels_[static_cast<std::size_t>(i)];
        const QRect text_rect = cell.adjusted(4, 1, -3, -1);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(
            text_rect, static_cast<int>(panel.alignment | Qt::AlignVCenter),
            painter.fontMetrics().elidedText(panel.text, Qt::ElideRight, text_rect.width()));
    }
}

}  // namespace tovra::ui
