#pragma once

#include <string>
#include <vector>

#include "serial/port_list.h"

namespace tovra {

// How the port list works on this platform (one implementation per OS).

// The ports offered when the window is shown.
std::vector<PortInfo> AvailablePorts();
// Whether any port name can be typed, and the list refreshes when it drops down.
bool PortListEditable();
// What Open takes for the port list's text.
std::string PortToOpen(const std::string& list_text);

}  // namespace tovra
