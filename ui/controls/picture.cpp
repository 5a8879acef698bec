#include "ui/controls/picture.h"

#include <QMouseEvent>
#include <QPainter>

namespace tovra::ui {

Picture::Picture(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::ArrowCursor);
}

void Picture::SetImage(const QPixmap& image) {
    image_ = image;
    update();
}

void Picture::paintEvent(QPaintEvent*) {
    if (image_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), image_);
}

void Picture::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void Picture::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) {
        emit Clicked();
    }
}

}  // namespace tovra::ui
