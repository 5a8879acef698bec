#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovra::cli {

// Conversions of option text to module values. Each throws UsageError naming `what` (an
// option such as "--power", or a profile key) and the valid range.

// The value the window's frequency edit holds for x: x shown with two decimals.
double RoundToHundredths(double mhz);

double ParseFrequency(std::string_view text, const std::string& what);  // 140.00..990.00
std::uint8_t ParseSpreadingFactor(std::string_view text,
                                  const std::string& what);  // chips -> 7..12
std::uint8_t ParseMode(std::string_view text, const std::string& what);
std::uint8_t ParseBandwidth(std::string_view text, const std::string& what);  // -> 6..9
std::uint8_t ParsePower(std::string_view text, const std::string& what);
std::uint16_t ParseNodeId(std::string_view text, const std::string& what);
std::uint16_t ParseNodeIdStep(std::string_view text, const std::string& what);
std::uint8_t ParseNetId(std::string_view text, const std::string& what);
std::uint8_t ParseModuleBaud(std::string_view text, const std::string& what);   // -> code
unsigned ParseLineBaud(std::string_view text, const std::string& what);         // -> baud
std::uint8_t ParseParity(std::string_view text, const std::string& what);       // 0..2
std::uint8_t ParseVersionName(std::string_view text, const std::string& what);  // v1.7 / v1.8
std::chrono::milliseconds ParseTimeout(std::string_view text, const std::string& what);
// A whole number from low to high.
long long ParseInteger(std::string_view text, long long low, long long high,
                       const std::string& what);

}  // namespace tovra::cli
