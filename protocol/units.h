#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/module_settings.h"

namespace tovra {

// The module UART speeds in list order; codes are position + 1 except 115200, which is 0.
inline constexpr std::array<unsigned, 8> kBaudRates{1200,  2400,  4800,  9600,
                                                    19200, 38400, 57600, 115200};
inline constexpr std::array<std::string_view, 3> kParityNames{"NO", "ODD", "EVEN"};
inline constexpr std::array<unsigned, 6> kChips{128, 256, 512, 1024, 2048, 4096};  // factor 7..12
inline constexpr std::array<std::string_view, 2> kModeNames{"Normal", "Saving"};
inline constexpr std::array<std::string_view, 4> kBandwidthNames{"62.5K", "125K", "250K", "500K"};

inline constexpr std::uint8_t kFirstFactor = 7;
inline constexpr std::uint8_t kFirstBandwidth = 6;

// List position 0..7 of a module speed to its code; any other position (-1 for none) is 0.
std::uint8_t McuBaudCodeFromPosition(int position);
// The list position a received code selects, or nothing for codes above 7.
std::optional<int> PositionFromMcuBaudCode(std::uint8_t code);

std::optional<unsigned> BaudFromMcuBaudCode(std::uint8_t code);
std::optional<std::uint8_t> McuBaudCodeFromBaud(unsigned baud);

// The settings the window starts with: 9600 NO, 434.00 MHz, 2048 chips, Normal, 125K,
// node id 0/0, net id 0, power 7, version v1.7.
ModuleSettings InitialWindowSettings();

}  // namespace tovra
