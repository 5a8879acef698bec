#pragma once

#include <string>

#include "serial/port_list.h"

namespace tovra {

// Fills vendor id, product id and serial number of info from a device instance id such as
// "USB\VID_0403&PID_6001\A50285BI" or "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000". Ids that
// are not from a USB device leave info as it is; a serial number the system made up (it
// holds '&') is not reported.
void ParseUsbInstanceId(const std::string& instance_id, PortInfo& info);

}  // namespace tovra
