#include "ui/controls/number_edit.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace tovra::ui {

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &NumberEdit::OnTextChanged);
    setText(FormatWithMask(value_, mask_, symbols_));
}

void NumberEdit::SetMask(const QString& pattern) {
    mask_pattern_ = pattern;
    mask_ = NumberMask::FromPattern(pattern);
    SetValue(value_);
}

void NumberEdit::SetValue(double value) {
    const QString shown = FormatWithMask(value, mask_, symbols_);
    if (shown != text()) {
        setText(shown);  // re-reads the value and raises Changed
        return;
    }
    // Same text as before: no change event, but the value is still the one shown.
    const ParsedNumber parsed = ParseNumber(shown, symbols_);
    if (parsed.kind == ParsedNumber::Kind::Number) {
        value_ = parsed.value;
    }
}

void NumberEdit::OnTextChanged(const QString& text) {
    const ParsedNumber parsed = ParseNumber(text, symbols_);
    switch (parsed.kind) {
        case ParsedNumber::Kind::Blank:
            break;
        case ParsedNumber::Kind::Number:
            if (parsed.value < 0 && !mask_.allows_minus) {
                // Only a paste gets here; a negative id or frequency would go out as a
                // wrapped-around byte or register.
                setText(FormatWithMask(value_, mask_, symbols_));
                ReportError(
                    QStringLiteral("'%1' is not a valid value: negative numbers are not allowed")
                        .arg(text));
                return;
            }
            value_ = parsed.value;
            break;
        case ParsedNumber::Kind::Invalid:
            setText(FormatWithMask(value_, mask_, symbols_));
            ReportError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
            return;
    }
    emit Changed();
}

bool NumberEdit::AcceptsCharacter(QChar c) const {
    if (c >= u'0' && c <= u'9') {
        return true;
    }
    if (c == symbols_.decimal_point) {
        return mask_.has_point && !text().contains(symbols_.decimal_point);
    }
    if (c == u'-') {
        return mask_.allows_minus;
    }
    return false;
}

void NumberEdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    // Editing commands, navigation and control characters keep their usual meaning; the
    // filter applies to the characters a key would insert.
    const bool inserts = !typed.isEmpty() && typed.front().isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (!inserts || event->key() == Qt::Key_Backspace) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    for (const QChar c : typed) {
        if (!AcceptsCharacter(c)) {
            event->accept();
            if (beep_) {
                beep_();
            }
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void NumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (ParseNumber(text(), symbols_).kind == ParsedNumber::Kind::Blank) {
        SetValue(0.0);
    }
}

void NumberEdit::ReportError(const QString& message) {
    if (!show_error_) {
        return;
    }
    // Shown once the edit has finished its own text change, as an exception display would.
    QMetaObject::invokeMethod(
        this, [this, message] { show_error_(message); }, Qt::QueuedConnection);
}

}  // namespace tovra::ui
