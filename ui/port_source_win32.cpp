#include <string>

#include "serial/cx_serial.h"
#include "ui/port_source.h"

namespace tovra {

// COM1 to COM255, each listed when it can be opened right now.
std::vector<PortInfo> AvailablePorts() {
    std::vector<PortInfo> ports;
    for (unsigned n = 1; n <= 255; ++n) {
        if (PortExists(n)) {
            PortInfo info;
            info.name = "COM" + std::to_string(n);
            ports.push_back(std::move(info));
        }
    }
    return ports;
}

bool PortListEditable() {
    return false;
}

// The number after "COM" (none gives 0, which no port has).
std::string PortToOpen(const std::string& list_text) {
    return "COM" + std::to_string(ComPortNumber(list_text));
}

}  // namespace tovra
