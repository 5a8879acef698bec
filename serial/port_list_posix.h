#pragma once

#include <string>
#include <vector>

#include "serial/port_list.h"

namespace tovra {

// The two halves of ListPorts on POSIX, with their roots as parameters so that they can be
// pointed at a prepared tree.

// tty devices under sys_class_tty (normally /sys/class/tty) that have hardware behind them
// and a character device node in dev_dir, sorted by name. Reads sysfs only: no port is
// opened.
std::vector<PortInfo> ListTtyPorts(const std::string& sys_class_tty, const std::string& dev_dir);

// Symlinks in dir that resolve to a character device, listed under the link's own path and
// sorted by name. Dangling links and links to anything else are skipped; so is the whole
// directory when it is not the user's own or others may write to it.
std::vector<PortInfo> ListVirtualPorts(const std::string& dir);

}  // namespace tovra
