#include "ui/controls/number_format.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include <QLocale>
#include <QRegularExpression>

namespace tovra::ui {

NumberMask NumberMask::FromPattern(const QString& pattern) {
    NumberMask mask;
    const qsizetype point = pattern.indexOf(u'.');
    mask.has_point = point >= 0;
    if (mask.has_point) {
        for (qsizetype i = point + 1;
             i < pattern.size() && (pattern[i] == u'0' || pattern[i] == u'#'); ++i) {
            ++mask.decimals;
        }
    }
    mask.allows_minus = pattern.contains(u'-');
    return mask;
}

NumberSymbols NumberSymbols::FromLocale() {
    const QLocale locale;
    NumberSymbols symbols;
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    if (!point.isEmpty()) {
        symbols.decimal_point = point.front();
    }
    // A locale whose group separator is a blank or missing gets none to strip.
    symbols.group_separator = group.isEmpty() ? QChar() : group.front();
    if (symbols.group_separator == symbols.decimal_point) {
        symbols.group_separator = QChar();
    }
    return symbols;
}

namespace {

// Rounds a plain decimal "123.4567" to the given decimals, half away from zero.
std::string RoundDecimalText(const std::string& text, int decimals) {
    const std::size_t point = text.find('.');
    std::string whole = point == std::string::npos ? text : text.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    const auto keep = static_cast<std::size_t>(decimals);
    bool carry = fraction.size() > keep && fraction[keep] >= '5';
    fraction.resize(keep, '0');
    std::string digits = whole + fraction;
    for (std::size_t i = digits.size(); carry && i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            carry = false;
        }
    }
    if (carry) {
        digits.insert(digits.begin(), '1');
    }
    const std::size_t whole_size = digits.size() - keep;
    std::string result = digits.substr(0, whole_size);
    if (keep > 0) {
        result += '.';
        result += digits.substr(whole_size);
    }
    return result;
}

}  // namespace

QString FormatWithMask(double value, const NumberMask& mask, const NumberSymbols& symbols) {
    if (!std::isfinite(value)) {
        return QString::number(value);
    }
    // Fixed notation of the largest double needs 309 digits; shortest form adds at most
    // the digits a subnormal needs after the point.
    char buffer[1100];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    if (error != std::errc()) {
        return QString::number(value, 'f', mask.decimals);
    }
    std::string text = RoundDecimalText(std::string(buffer, end), mask.decimals);
    const bool is_zero = text.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !is_zero) {
        text.insert(text.begin(), '-');
    }
    QString shown = QString::fromStdString(text);
    shown.replace(u'.', symbols.decimal_point);
    return shown;
}

ParsedNumber ParseNumber(const QString& text, const NumberSymbols& symbols) {
    QString plain = text;
    if (!symbols.group_separator.isNull()) {
        plain.remove(symbols.group_separator);
    }
    plain = plain.trimmed();
    if (plain.isEmpty() || plain == u"-") {
        return {};
    }
    // Written in C form from here on: '.' for the decimal point.
    if (symbols.decimal_point != u'.') {
        if (plain.contains(u'.')) {
            return {ParsedNumber::Kind::Invalid, 0.0};
        }
        plain.replace(symbols.decimal_point, u'.');
    }
    static const QRegularExpression kNumber(
        QStringLiteral(R"(^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$)"));
    if (!kNumber.match(plain).hasMatch()) {
        return {ParsedNumber::Kind::Invalid, 0.0};
    }
    std::string c_text = plain.toStdString();
    if (c_text.front() == '+') {
        c_text.erase(c_text.begin());
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(c_text.data(), c_text.data() + c_text.size(), value);
    if (error != std::errc() || end != c_text.data() + c_text.size()) {
        return {ParsedNumber::Kind::Invalid, 0.0};
    }
    return {ParsedNumber::Kind::Number, value};
}

}  // namespace tovra::ui
