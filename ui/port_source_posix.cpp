#include <algorithm>
#include <cctype>

#include "ui/port_source.h"

namespace tovra {

std::vector<PortInfo> AvailablePorts() {
    return ListPorts();
}

bool PortListEditable() {
    return true;
}

// A device path as shown or typed; blanks around it are not part of it.
std::string PortToOpen(const std::string& list_text) {
    const auto is_blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(list_text.begin(), list_text.end(), is_blank);
    const auto last = std::find_if_not(list_text.rbegin(), list_text.rend(), is_blank).base();
    return first < last ? std::string(first, last) : std::string();
}

}  // namespace tovra
