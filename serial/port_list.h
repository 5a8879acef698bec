#pragma once

#include <string>
#include <vector>

namespace tovra {

struct PortInfo {
    std::string name;         // what Open takes: a device path, a link path or "COMn"
    std::string description;  // one line a user recognises the port by
    bool is_virtual = false;  // a link in the virtual port directory
    // USB adapters only; empty otherwise.
    std::string vendor_id;
    std::string product_id;
    std::string manufacturer;
    std::string product;
    std::string serial_number;
};

// Ports that can be opened now: real devices by name, then virtual ports.
std::vector<PortInfo> ListPorts();

// Where virtual ports (the simulated module, a socat pair) are linked so that listing
// finds them: $XDG_RUNTIME_DIR/tovra-rf/ports, or /tmp/tovra-rf-<uid>/ports. Empty on
// platforms without virtual ports.
std::string VirtualPortDirectory();

// Windows: whether COM port n can be opened right now (opened and closed at once).
bool PortExists(unsigned n);

}  // namespace tovra
