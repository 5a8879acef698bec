#include "cli/values.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

#include "cli/usage_error.h"
#include "protocol/units.h"

namespace tovra::cli {

namespace {

constexpr double kMinFrequency = 140.0;
constexpr double kMaxFrequency = 990.0;
constexpr double kMaxTimeoutSeconds = 3600.0;
// Option text longer than this is no value of ours; keeps messages short, too.
constexpr std::size_t kMaxValueText = 64;

std::string Quoted(std::string_view text) {
    std::string shown(text.substr(0, kMaxValueText));
    if (text.size() > kMaxValueText) {
        shown += "...";
    }
    // Control characters would garble the terminal.
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return "\"" + shown + "\"";
}

[[noreturn]] void Fail(const std::string& what, const std::string& range, std::string_view text) {
    throw UsageError(what + ": must be " + range + " (got " + Quoted(text) + ")");
}

std::string Lower(std::string_view text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A finite decimal number in plain notation: digits, at most one '.', nothing else.
bool ParseDecimal(std::string_view text, double& value) {
    if (text.empty() || text.size() > kMaxValueText) {
        return false;
    }
    bool digit = false;
    int dots = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.') {
            ++dots;
        } else {
            return false;
        }
    }
    if (!digit || dots > 1) {
        return false;
    }
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

template <std::size_t N>
std::string JoinList(const std::array<unsigned, N>& values) {
    std::string s;
    for (std::size_t i = 0; i < N; ++i) {
        s += (i == 0 ? "" : ", ") + std::to_string(values[i]);
    }
    return s;
}

}  // namespace

double RoundToHundredths(double mhz) {
    if (!std::isfinite(mhz)) {
        return mhz;
    }
    // As the window's edit shows a value: its shortest decimal text, rounded half away
    // from zero to two decimals (433.125 shows as 433.13). The edit holds what it shows.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(mhz), std::chars_format::fixed);
    if (ec != std::errc()) {
        return std::round(mhz * 100.0) / 100.0;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t dot = text.find('.');
    std::string digits(text.substr(0, dot));  // whole part, then two decimals
    std::string decimals = dot == std::string_view::npos ? "" : std::string(text.substr(dot + 1));
    const bool round_up = decimals.size() > 2 && decimals[2] >= '5';
    decimals.resize(2, '0');
    digits += decimals;
    if (round_up) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(digits.begin(), '1');
        } else {
            ++digits[i - 1];
        }
    }
    // Concatenated rather than insert(): GCC 12 at -O3 reports a false -Wrestrict on it.
    const std::string decimal =
        digits.substr(0, digits.size() - 2) + '.' + digits.substr(digits.size() - 2);
    double shown = 0.0;
    std::from_chars(decimal.data(), decimal.data() + decimal.size(), shown);
    return std::signbit(mhz) ? -shown : shown;
}

long long ParseInteger(std::string_view text, long long low, long long high,
                       const std::string& what) {
    const std::string range =
        "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        Fail(what, range, text);
    }
    long long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (negative) {
        value = -value;
    }
    if (value < low || value > high) {
        Fail(what, range, text);
    }
    return value;
}

double ParseFrequency(std::string_view text, const std::string& what) {
    const std::string range = "a frequency in MHz from 140.00 to 990.00";
    double value = 0.0;
    if (!ParseDecimal(text, value)) {
        Fail(what, range, text);
    }
    // Checked as the edit would hold it: 139.996 shows as 140.00 and is accepted.
    value = RoundToHundredths(value);
    if (value < kMinFrequency || value > kMaxFrequency) {
        Fail(what, range, text);
    }
    return value;
}

std::uint8_t ParseSpreadingFactor(std::string_view text, const std::string& what) {
    const std::string range = "one of " + JoinList(kChips) + " (chips)";
    for (std::size_t i = 0; i < kChips.size(); ++i) {
        if (text == std::to_string(kChips[i])) {
            return static_cast<std::uint8_t>(kFirstFactor + i);
        }
    }
    Fail(what, range, text);
}

std::uint8_t ParseMode(std::string_view text, const std::string& what) {
    const std::string s = Lower(text);
    if (s == "normal") {
        return 0;
    }
    if (s == "saving") {
        return 1;
    }
    Fail(what, "normal or saving", text);
}

std::uint8_t ParseBandwidth(std::string_view text, const std::string& what) {
    std::string s = Lower(text);
    if (!s.empty() && s.back() == 'k') {
        s.pop_back();
    }
    for (std::size_t i = 0; i < kBandwidthNames.size(); ++i) {
        std::string name = Lower(kBandwidthNames[i]);
        name.pop_back();  // the K
        if (s == name) {
            return static_cast<std::uint8_t>(kFirstBandwidth + i);
        }
    }
    Fail(what, "one of 62.5K, 125K, 250K, 500K", text);
}

std::uint8_t ParsePower(std::string_view text, const std::string& what) {
    return static_cast<std::uint8_t>(ParseInteger(text, 1, 7, what));
}

std::uint16_t ParseNodeId(std::string_view text, const std::string& what) {
    return static_cast<std::uint16_t>(ParseInteger(text, 0, 65535, what));
}

std::uint16_t ParseNodeIdStep(std::string_view text, const std::string& what) {
    return static_cast<std::uint16_t>(ParseInteger(text, 1, 65535, what));
}

std::uint8_t ParseNetId(std::string_view text, const std::string& what) {
    return static_cast<std::uint8_t>(ParseInteger(text, 0, 255, what));
}

unsigned ParseLineBaud(std::string_view text, const std::string& what) {
    for (const unsigned baud : kBaudRates) {
        if (text == std::to_string(baud)) {
            return baud;
        }
    }
    Fail(what, "one of " + JoinList(kBaudRates), text);
}

std::uint8_t ParseModuleBaud(std::string_view text, const std::string& what) {
    return *McuBaudCodeFromBaud(ParseLineBaud(text, what));
}

std::uint8_t ParseParity(std::string_view text, const std::string& what) {
    const std::string s = Lower(text);
    if (s == "none") {
        return 0;
    }
    if (s == "odd") {
        return 1;
    }
    if (s == "even") {
        return 2;
    }
    Fail(what, "none, odd or even", text);
}

std::uint8_t ParseVersionName(std::string_view text, const std::string& what) {
    const std::string s = Lower(text);
    if (s == "v1.7") {
        return 0;
    }
    if (s == "v1.8") {
        return 1;
    }
    Fail(what, "v1.7 or v1.8", text);
}

std::chrono::milliseconds ParseTimeout(std::string_view text, const std::string& what) {
    const std::string range = "a number of seconds above 0 and at most 3600";
    double seconds = 0.0;
    if (!ParseDecimal(text, seconds) || seconds > kMaxTimeoutSeconds) {
        Fail(what, range, text);
    }
    const auto ms = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000.0)));
    if (ms.count() <= 0) {
        Fail(what, range, text);
    }
    return ms;
}

}  // namespace tovra::cli
