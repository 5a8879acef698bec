#include "sim/line_setting.h"

#include <array>
#include <utility>

#include "protocol/units.h"

namespace tovra::sim {

namespace {
constexpr std::array<std::pair<speed_t, unsigned>, 8> kSpeeds{{
    {B1200, 1200},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
}};

// Mark/space parity exists only on some systems.
#ifdef CMSPAR
constexpr tcflag_t kMarkSpace = CMSPAR;
#else
constexpr tcflag_t kMarkSpace = 0;
#endif

unsigned BaudOf(speed_t s) {
    for (const auto& [code, baud] : kSpeeds) {
        if (code == s) {
            return baud;
        }
    }
    return 0;
}
}  // namespace

LineSetting LineFromTermios(const termios& t) {
    LineSetting line;
    line.baud = BaudOf(cfgetospeed(&t));
    const bool parity = (t.c_cflag & (PARENB | PARODD)) != 0 || (t.c_iflag & INPCK) != 0;
    if (!parity) {
        line.parity = LineParity::None;
    } else if ((t.c_cflag & kMarkSpace) != 0) {
        line.parity = LineParity::Other;
    } else {
        line.parity = (t.c_cflag & PARODD) != 0 ? LineParity::Odd : LineParity::Even;
    }
    return line;
}

LineSetting ModuleUart(std::uint8_t baud_code, std::uint8_t parity_code) {
    LineSetting uart;
    uart.baud = BaudFromMcuBaudCode(baud_code).value_or(0);
    uart.parity = parity_code <= 2 ? static_cast<LineParity>(parity_code) : LineParity::Other;
    return uart;
}

bool LineMatches(const LineSetting& line, const LineSetting& uart) {
    return uart.baud != 0 && uart.parity != LineParity::Other && line == uart;
}

std::chrono::nanoseconds ByteTime(const LineSetting& uart) {
    if (uart.baud == 0) {
        return std::chrono::nanoseconds::zero();
    }
    const long long bits = uart.parity == LineParity::None ? 10 : 11;
    return std::chrono::nanoseconds(bits * 1'000'000'000LL / uart.baud);
}

}  // namespace tovra::sim
