#pragma once

#include <functional>

#include <QLineEdit>
#include <QString>

#include "ui/controls/number_format.h"

namespace tovra::ui {

// A line edit that holds a floating-point value shown through a mask ("0.00", "0").
//
// Only digits, backspace and, where the mask allows them, one decimal point and a minus
// sign can be typed; other characters are refused with a beep. Every change of the text,
// typed, pasted or set by program, re-reads the value and raises Changed, so the value is
// always the number the text shows. Text that is not a number is replaced by the previous
// value's text and the error is reported; leaving the edit empty sets 0.
class NumberEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit NumberEdit(QWidget* parent = nullptr);

    QString Mask() const { return mask_pattern_; }
    void SetMask(const QString& pattern);  // shows the value again under the new mask

    double Value() const { return value_; }
    // Shows the value under the mask; the edit then holds the number shown.
    void SetValue(double value);

    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    // Called (queued, after the text was restored) with the message of a conversion error.
    void SetErrorDisplay(std::function<void(const QString&)> show) {
        show_error_ = std::move(show);
    }

  signals:
    void Changed();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void OnTextChanged(const QString& text);
    bool AcceptsCharacter(QChar c) const;
    void ReportError(const QString& message);

    QString mask_pattern_ = QStringLiteral("0");
    NumberMask mask_ = NumberMask::FromPattern(mask_pattern_);
    NumberSymbols symbols_ = NumberSymbols::FromLocale();
    double value_ = 0.0;
    std::function<void()> beep_;
    std::function<void(const QString&)> show_error_;
};

}  // namespace tovra::ui
