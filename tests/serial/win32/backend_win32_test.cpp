// The pure parts of the Win32 backend: the device control block, the mapping of system
// error codes, and the USB details in a device instance id.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "serial/port_list_win32.h"
#include "serial/win32_dcb.h"
#include "serial/win32_error.h"

namespace tovra {
namespace {

TEST(DeviceControl, HoldsTheLineSettingsExactly) {
    const struct {
        unsigned baud;
        unsigned parity;
        BYTE expected_parity;
    } cases[] = {
        {1200, 0, NOPARITY},
        {9600, 1, ODDPARITY},
        {115200, 2, EVENPARITY},
        {9600, 0x102, EVENPARITY},  // only the low 8 bits are the parity
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.baud) + "/" + std::to_string(c.parity));
        const DCB d = MakeDeviceControl(c.baud, c.parity);
        EXPECT_EQ(d.DCBlength, 28u);
        EXPECT_EQ(d.BaudRate, c.baud);
        EXPECT_EQ(d.Parity, c.expected_parity);
        EXPECT_EQ(d.fBinary, 1u);
        EXPECT_EQ(d.fParity, 1u);  // also with parity none
        EXPECT_EQ(d.fOutxCtsFlow, 0u);
        EXPECT_EQ(d.fOutxDsrFlow, 0u);
        EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(d.fDsrSensitivity, 0u);
        EXPECT_EQ(d.fTXContinueOnXoff, 0u);
        EXPECT_EQ(d.fOutX, 0u);
        EXPECT_EQ(d.fInX, 0u);
        EXPECT_EQ(d.fErrorChar, 0u);
        EXPECT_EQ(d.fNull, 0u);
        EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
        EXPECT_EQ(d.fAbortOnError, 0u);
        EXPECT_EQ(d.XonLim, 2);
        EXPECT_EQ(d.XoffLim, 4);
        EXPECT_EQ(d.ByteSize, 8);
        EXPECT_EQ(d.StopBits, ONESTOPBIT);
        EXPECT_EQ(d.XonChar, 0x13);
        EXPECT_EQ(d.XoffChar, 0x19);
        EXPECT_EQ(d.ErrorChar, 0);
        EXPECT_EQ(d.EofChar, 0);
        EXPECT_EQ(d.EvtChar, 0);
    }
}

TEST(Win32Errors, KindDependsOnCodeAndStage) {
    const struct {
        Win32Stage stage;
        DWORD code;
        SerialErrorKind kind;
    } cases[] = {
        {Win32Stage::Open, ERROR_FILE_NOT_FOUND, SerialErrorKind::NotFound},
        {Win32Stage::Open, ERROR_PATH_NOT_FOUND, SerialErrorKind::NotFound},
        // In use by another program at open; an unplugged adapter later on.
        {Win32Stage::Open, ERROR_ACCESS_DENIED, SerialErrorKind::Busy},
        {Win32Stage::Open, ERROR_SHARING_VIOLATION, SerialErrorKind::Busy},
        {Win32Stage::Transfer, ERROR_ACCESS_DENIED, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_OPERATION_ABORTED, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_BAD_COMMAND, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_DEVICE_REMOVED, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_GEN_FAILURE, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_BROKEN_PIPE, SerialErrorKind::DeviceGone},
        {Win32Stage::Transfer, ERROR_NOT_READY, SerialErrorKind::DeviceGone},
        {Win32Stage::Configure, ERROR_INVALID_PARAMETER, SerialErrorKind::UnsupportedSetting},
        {Win32Stage::Transfer, ERROR_INVALID_HANDLE, SerialErrorKind::IoError},
        {Win32Stage::Open, ERROR_INVALID_HANDLE, SerialErrorKind::IoError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const SerialError e = Win32Failure(c.stage, c.code, "COM7", "Opening");
        EXPECT_EQ(e.kind, c.kind);
        // The message names the port and carries the code, for a user's report.
        EXPECT_NE(e.message.find("COM7"), std::string::npos) << e.message;
        EXPECT_NE(e.message.find(std::to_string(c.code)), std::string::npos) << e.message;
    }
}

TEST(UsbInstanceIds, GiveVendorProductAndSerial) {
    const struct {
        const char* id;
        const char* vid;
        const char* pid;
        const char* serial;
    } cases[] = {
        {"USB\\VID_0403&PID_6001\\A50285BI", "0403", "6001", "A50285BI"},
        {"USB\\VID_10C4&PID_EA60\\0001", "10c4", "ea60", "0001"},
        // A serial number Windows made up for a device without one is not reported.
        {"USB\\VID_1A86&PID_7523\\5&2B6C3F0&0&2", "1a86", "7523", ""},
        {"FTDIBUS\\VID_0403+PID_6015+DN05ABCDA\\0000", "0403", "6015", "DN05ABCDA"},
        {"ACPI\\PNP0501\\1", "", "", ""},  // a motherboard UART: no USB details
        {"USB\\VID_04", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        PortInfo info;
        ParseUsbInstanceId(c.id, info);
        EXPECT_EQ(info.vendor_id, c.vid);
        EXPECT_EQ(info.product_id, c.pid);
        EXPECT_EQ(info.serial_number, c.serial);
    }
}

}  // namespace
}  // namespace tovra
