#include "protocol/units.h"

namespace tovra {

std::uint8_t McuBaudCodeFromPosition(int position) {
    if (position < 0 || position > 7) {
        return 0;
    }
    return position == 7 ? 0 : static_cast<std::uint8_t>(position + 1);
}

std::optional<int> PositionFromMcuBaudCode(std::uint8_t code) {
    if (code > 7) {
        return std::nullopt;
    }
    return code == 0 ? 7 : code - 1;
}

std::optional<unsigned> BaudFromMcuBaudCode(std::uint8_t code) {
    const auto position = PositionFromMcuBaudCode(code);
    if (!position) {
        return std::nullopt;
    }
    return kBaudRates[static_cast<std::size_t>(*position)];
}

std::optional<std::uint8_t> McuBaudCodeFromBaud(unsigned baud) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == baud) {
            return McuBaudCodeFromPosition(static_cast<int>(i));
        }
    }
    return std::nullopt;
}

ModuleSettings InitialWindowSettings() {
    ModuleSettings s;
    s.McuBaudCode = 4;
    s.McuParity = 0;
    s.RfFrequency = 434.0;
    s.RfFactor = 11;
    s.RfMode = 0;
    s.RfBw = 7;
    s.CustID_H = 0;
    s.CustID_L = 0;
    s.NetID = 0;
    s.Power = 7;
    return s;
}

}  // namespace tovra
