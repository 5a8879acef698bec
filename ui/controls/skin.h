#pragma once

#include <QColor>
#include <QFont>

class QPushButton;
class QWidget;

namespace tovra::ui {

// The window's colours (the classic Windows values of the named colours).
inline constexpr QRgb kFormBackground = 0xFBFBFB;   // red, green and blue each 251
inline constexpr QRgb kListColour = 0x00FF00;       // clLime
inline constexpr QRgb kFrequencyColour = 0xC0DCC0;  // clMoneyGreen
inline constexpr QRgb kIdColour = 0xB9D1EA;         // clGradientActiveCaption
inline constexpr QRgb kFrameBorder = 0x000000;
inline constexpr QRgb kTitleTop = 0x4C6F93;
inline constexpr QRgb kTitleBottom = 0x2B4866;
inline constexpr QRgb kGroupLine = 0x8DA2B5;
inline constexpr QRgb kGroupTitle = 0x1F3A56;

// "MS Sans Serif" at 11 pixels, or the nearest sans serif at the same height.
QFont FormFont();
// Bold "Tahoma" at 11 pixels for the title bar, or the nearest sans serif.
QFont CaptionFont();

// Paints a control's text area (lists, edits) in the given colour, paler when disabled.
void SetFieldColour(QWidget* control, QRgb colour);
void StyleButton(QPushButton* button);

}  // namespace tovra::ui
