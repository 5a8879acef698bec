#include "serial/win32_dcb.h"

namespace tovra {

DCB MakeDeviceControl(unsigned baud, unsigned parity) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baud;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;  // also with parity none: the driver then has nothing to check
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    // Some modules wire DTR and RTS to reset or mode pins: keep both deasserted.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    // With XON/XOFF off these never act on the line; they only have to be distinct.
    dcb.XonLim = 2;
    dcb.XoffLim = 4;
    dcb.ByteSize = 8;
    dcb.Parity = static_cast<BYTE>(parity & 0xFF);
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x13;
    dcb.XoffChar = 0x19;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    return dcb;
}

}  // namespace tovra
