#pragma once

#include <QChar>
#include <QString>

namespace tovra::ui {

// A numeric display mask such as "0.00" or "0": how many decimals are shown, and which
// of the decimal point and the minus sign may be typed.
struct NumberMask {
    int decimals = 0;
    bool has_point = false;
    bool allows_minus = false;

    static NumberMask FromPattern(const QString& pattern);
};

// The locale characters a numeric text is written with.
struct NumberSymbols {
    QChar decimal_point = u'.';
    QChar group_separator = u',';

    static NumberSymbols FromLocale();
};

// The value's text under the mask. Rounds half away from zero on the value's shortest
// decimal form, so 433.125 shows as "433.13" and 434.0010986328125 as "434.00".
QString FormatWithMask(double value, const NumberMask& mask, const NumberSymbols& symbols);

struct ParsedNumber {
    enum class Kind {
        Blank,    // empty, blanks only or a lone "-": the value stays as it is
        Number,   // value holds the number
        Invalid,  // not a number
    };
    Kind kind = Kind::Blank;
    double value = 0.0;
};

// Reads a numeric text: group separators are dropped, surrounding blanks ignored; an
// optional sign, digits with at most one decimal point, an optional exponent. Numbers
// beyond the range of a double are invalid.
ParsedNumber ParseNumber(const QString& text, const NumberSymbols& symbols);

}  // namespace tovra::ui
