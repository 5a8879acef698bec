#pragma once

#include <windows.h>

namespace tovra {

// The device control settings of an open port: the given speed and parity (0 none, 1 odd,
// 2 even; the low 8 bits are used), 8 data bits, 1 stop bit, binary mode, no flow control
// of any kind, DTR and RTS held low, parity checking on.
DCB MakeDeviceControl(unsigned baud, unsigned parity);

}  // namespace tovra
