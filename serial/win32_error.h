#pragma once

#include <windows.h>

#include <string>

#include "serial/cx_serial.h"

namespace tovra {

// What the channel was doing when a Win32 call failed; the same code means different
// things in different places (ERROR_ACCESS_DENIED is "in use" at open, "unplugged" later).
enum class Win32Stage { Open, Configure, Transfer };

// The one place that turns a GetLastError() code into an error kind and a message a user
// can act on. port is the name the user gave; action names the failed step.
SerialError Win32Failure(Win32Stage stage, DWORD code, const std::string& port,
                         const std::string& action);

// Errors after which the port is gone for good: unplugged adapter, removed driver, or
// (under Wine) a pseudo-terminal whose other side closed.
bool IsDeviceGoneError(DWORD code);

// The system's own text for code, without the trailing line break; "error N" if none.
std::string Win32ErrorText(DWORD code);

}  // namespace tovra
