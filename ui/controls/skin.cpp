#include "ui/controls/skin.h"

#include <QPalette>
#include <QPushButton>
#include <QWidget>

namespace tovra::ui {

namespace {
QFont SansAt11(const QStringList& families) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
}  // namespace

QFont FormFont() {
    return SansAt11({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                     QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                     QStringLiteral("DejaVu Sans")});
}

QFont CaptionFont() {
    QFont font = SansAt11({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                           QStringLiteral("DejaVu Sans")});
    font.setBold(true);
    return font;
}

void SetFieldColour(QWidget* control, QRgb colour) {
    QPalette palette = control->palette();
    const QColor active(colour);
    const QColor disabled = QColor(colour).lighter(125);
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
        palette.setColor(QPalette::Active, role, active);
        palette.setColor(QPalette::Inactive, role, active);
        palette.setColor(QPalette::Disabled, role, disabled.isValid() ? disabled : active);
    }
    control->setPalette(palette);
}

void StyleButton(QPushButton* button) {
    button->setStyleSheet(QStringLiteral(
        "QPushButton { border: 1px solid #6E7F91; border-radius: 2px; padding: 0px;"
        " color: #10263C;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #D3DDE8); }"
        "QPushButton:hover { border-color: #3E6C9A;"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #F4F9FF, stop:1 #BCD3EA); }"
        "QPushButton:pressed {"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #BCD3EA, stop:1 #E6EEF7); }"
        "QPushButton:disabled { color: #9AA5B1; border-color: #B9C3CE; background: #EEF1F4; }"));
}

}  // namespace tovra::ui
