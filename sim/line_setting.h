#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "protocol/module_settings.h"

namespace tovra::sim {

enum class LineParity : std::uint8_t { None = 0, Odd = 1, Even = 2, Other = 3 };

// Speed and parity of one end of a serial line. Speed 0 stands for one that is not a
// standard rate or not defined.
struct LineSetting {
    unsigned baud = 0;
    LineParity parity = LineParity::None;
    bool operator==(const LineSetting&) const = default;
};

// The line as the port's user configured it. The Linux pty driver clears PARENB on every
// change, so a line also counts as having parity when INPCK or PARODD is set; those flags
// survive. Mark/space parity (CMSPAR) is reported as Other.
LineSetting LineFromTermios(const termios& t);

// The module's own UART from its settings block fields; an undefined speed code gives
// baud 0 and a parity code above 2 gives Other.
LineSetting ModuleUart(std::uint8_t baud_code, std::uint8_t parity_code);

// Whether a module with this UART understands a line set like this.
bool LineMatches(const LineSetting& line, const LineSetting& uart);

// Time one byte holds the wire: start bit, 8 data bits, parity bit if any, stop bit.
// Zero for an undefined speed.
std::chrono::nanoseconds ByteTime(const LineSetting& uart);

}  // namespace tovra::sim
