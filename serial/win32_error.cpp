#include "serial/win32_error.h"

#include <string>

namespace tovra {

std::string Win32ErrorText(DWORD code) {
    char buffer[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "error " + std::to_string(code);
    }
    return text;
}

bool IsDeviceGoneError(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:      // handle of an unplugged USB adapter
        case ERROR_OPERATION_ABORTED:  // driver aborted the request on removal
        case ERROR_BAD_COMMAND:        // device no longer recognises the request
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:  // device attached to the system is not functioning
        case ERROR_BROKEN_PIPE:  // Wine: the pseudo-terminal's other side closed
        case ERROR_NOT_READY:    // Wine: status query after that close
        case ERROR_DEVICE_NOT_CONNECTED:
            return true;
        default:
            return false;
    }
}

SerialError Win32Failure(Win32Stage stage, DWORD code, const std::string& port,
                         const std::string& action) {
    const std::string detail =
        action + " " + port + ": " + Win32ErrorText(code) + " (" + std::to_string(code) + ")";
    SerialError e;
    e.kind = SerialErrorKind::IoError;
    switch (stage) {
        case Win32Stage::Open:
            switch (code) {
                case ERROR_FILE_NOT_FOUND:
                case ERROR_PATH_NOT_FOUND:
                case ERROR_INVALID_NAME:
                case ERROR_BAD_PATHNAME:
                case ERROR_BAD_UNIT:
                    e.kind = SerialErrorKind::NotFound;
                    e.message =
                        detail + ". Check the port name and that the adapter is plugged in.";
                    return e;
                // A COM port open elsewhere refuses a second opener with access denied.
                case ERROR_ACCESS_DENIED:
                case ERROR_SHARING_VIOLATION:
                case ERROR_BUSY:
                    e.kind = SerialErrorKind::Busy;
                    e.message = detail + ". Another program is using the port; close it first.";
                    return e;
                default:
                    break;
            }
            break;
        case Win32Stage::Configure:
            if (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
                code == ERROR_INVALID_FUNCTION) {
                e.kind = SerialErrorKind::UnsupportedSetting;
                e.message = detail + ". The port does not accept this speed or parity.";
                return e;
            }
            break;
        case Win32Stage::Transfer:
            break;
    }
    if (stage != Win32Stage::Open && IsDeviceGoneError(code)) {
        e.kind = SerialErrorKind::DeviceGone;
        e.message = detail + ". The port went away; plug the adapter back in and open it again.";
        return e;
    }
    e.message = detail;
    return e;
}

}  // namespace tovra
