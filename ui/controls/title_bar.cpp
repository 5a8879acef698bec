#include "ui/controls/title_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/controls/skin.h"

namespace tovra::ui {

TitleButton::TitleButton(Glyph glyph, QWidget* parent) : QAbstractButton(parent), glyph_(glyph) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setToolTip(glyph == Glyph::Close ? QStringLiteral("Close") : QStringLiteral("Minimise"));
}

void TitleButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TitleButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TitleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor face = glyph_ == Glyph::Close ? QColor(0xC8553D) : QColor(0x5F84AA);
    if (isDown()) {
        face = face.darker(125);
    } else if (hovered_) {
        face = face.lighter(120);
    }
    painter.setPen(QColor(0x1A2F45));
    painter.setBrush(face);
    painter.drawRoundedRect(box, 2, 2);

    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = box.center();
    if (glyph_ == Glyph::Close) {
        painter.drawLine(c + QPointF(-3, -3), c + QPointF(3, 3));
        painter.drawLine(c + QPointF(-3, 3), c + QPointF(3, -3));
    } else {
        painter.drawLine(c + QPointF(-3.5, 3), c + QPointF(3.5, 3));
    }
}

TitleBar::TitleBar(QWidget* window)
    : QWidget(window),
      minimise_(new TitleButton(TitleButton::Glyph::Minimise, this)),
      close_(new TitleButton(TitleButton::Glyph::Close, this)) {
    setObjectName(QStringLiteral("suiForm1TitleBar"));
    connect(minimise_, &QAbstractButton::clicked, window, &QWidget::showMinimized);
    connect(close_, &QAbstractButton::clicked, window, &QWidget::close);
    setGeometry(0, 0, window->width(), kHeight);
    window->installEventFilter(this);  // follows the window's width, caption and icon
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        switch (event->type()) {
            case QEvent::Resize:
                setGeometry(0, 0, parentWidget()->width(), kHeight);
                break;
            case QEvent::WindowTitleChange:
            case QEvent::WindowIconChange:
                update();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TitleBar::resizeEvent(QResizeEvent*) {
    const int size = 16;
    const int top = (kHeight - size) / 2;
    close_->setGeometry(width() - size - 5, top, size, size);
    minimise_->setGeometry(width() - 2 * size - 8, top, size, size);
}

void TitleBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(kTitleTop));
    fill.setColorAt(1, QColor(kTitleBottom));
    painter.fillRect(rect(), fill);
    painter.setPen(QColor(255, 255, 255, 60));
    painter.drawLine(0, 1, width(), 1);

    int left = 5;
    const QIcon icon = window()->windowIcon();
    if (!icon.isNull()) {
        icon.paint(&painter, QRect(left, (kHeight - 16) / 2, 16, 16));
        left += 20;
    }
    painter.setFont(CaptionFont());
    painter.setPen(Qt::white);
    const QRect caption(left, 0, minimise_->x() - left - 4, kHeight);
    painter.drawText(
        caption, Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, caption.width()));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    QWindow* handle = window()->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) {
        return;
    }
    dragging_ = true;
    drag_offset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        window()->move(event->globalPosition().toPoint() - drag_offset_);
    }
}

void TitleBar::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

FrameBorder::FrameBorder(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(window->rect());
    window->installEventFilter(this);
}

bool FrameBorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void FrameBorder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QColor(kFrameBorder));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tovra::ui
