// Windows port listing: COM1 to COM255, each probed by opening it, with what SetupAPI
// knows about the device behind it (friendly name, USB ids) where it knows anything.
#include "serial/port_list_win32.h"

#include <windows.h>
// windows.h first: setupapi.h and devpropdef.h rely on its types.
#include <devpropdef.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "serial/cx_serial.h"
#include "serial/win32_handle.h"

namespace tovra {

namespace {

constexpr unsigned kLastComPort = 255;

// {4d36e978-e325-11ce-bfc1-08002be10318}: the Ports (COM & LPT) device class.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// The product string the USB device itself reports (Windows 7 and later).
constexpr DEVPROPKEY kBusReportedDeviceDesc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// Four hex digits after key ("VID_") in text, lower-case; empty if absent.
std::string HexField(const std::string& upper_text, const std::string& key) {
    const auto at = upper_text.find(key);
    if (at == std::string::npos || at + key.size() + 4 > upper_text.size()) {
        return {};
    }
    std::string hex = upper_text.substr(at + key.size(), 4);
    if (!std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); })) {
        return {};
    }
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return hex;
}

class DeviceInfoSet {
  public:
    DeviceInfoSet() : set_(SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT)) {}
    ~DeviceInfoSet() {
        if (Valid()) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

  private:
    HDEVINFO set_;
};

std::string RegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 1,
                                           nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ)) {
        return {};
    }
    return std::string(buffer);  // the first string of a multi-string
}

std::string BusReportedProduct(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t buffer[256] = {};
    DEVPROPTYPE type = 0;
    if (!SetupDiGetDevicePropertyW(set, &device, &kBusReportedDeviceDesc, &type,
                                   reinterpret_cast<BYTE*>(buffer), sizeof buffer - sizeof(wchar_t),
                                   nullptr, 0) ||
        type != DEVPROP_TYPE_STRING) {
        return {};
    }
    char narrow[512] = {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, buffer, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    return n > 0 ? std::string(narrow) : std::string();
}

// The COM port name a Ports-class device was given, from its device registry key.
std::string AssignedPortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE || key == nullptr) {
        return {};
    }
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? Upper(name) : std::string();
}

// What the system knows about each installed COM port, by its "COMn" name. Empty where
// SetupAPI offers nothing (as under Wine); listing then falls back to the bare name.
std::map<std::string, PortInfo> KnownDevices() {
    std::map<std::string, PortInfo> known;
    DeviceInfoSet set;
    if (!set.Valid()) {
        return known;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set.Get(), i, &device); ++i) {
        const std::string name = AssignedPortName(set.Get(), device);
        if (name.rfind("COM", 0) != 0) {
            continue;  // a printer port
        }
        PortInfo info;
        info.name = name;
        info.description = RegistryProperty(set.Get(), device, SPDRP_FRIENDLYNAME);
        info.manufacturer = RegistryProperty(set.Get(), device, SPDRP_MFG);
        char instance[512] = {};
        if (SetupDiGetDeviceInstanceIdA(set.Get(), &device, instance, sizeof instance - 1,
                                        nullptr)) {
            ParseUsbInstanceId(instance, info);
        }
        if (!info.vendor_id.empty()) {
            info.product = BusReportedProduct(set.Get(), device);
        } else {
            info.manufacturer.clear();  // USB attributes only, as on the other platforms
        }
        known[name] = info;
    }
    return known;
}

}  // namespace

void ParseUsbInstanceId(const std::string& instance_id, PortInfo& info) {
    const std::string upper = Upper(instance_id);
    const std::string vid = HexField(upper, "VID_");
    const std::string pid = HexField(upper, "PID_");
    if (vid.empty() || pid.empty()) {
        return;
    }
    info.vendor_id = vid;
    info.product_id = pid;
    // USB\VID_xxxx&PID_xxxx\SERIAL: the last part is the device's serial number, unless
    // Windows made one up for a device without (those hold '&').
    std::string serial;
    if (upper.rfind("USB\\", 0) == 0) {
        const auto slash = instance_id.rfind('\\');
        if (slash != std::string::npos && slash + 1 < instance_id.size() &&
            instance_id.find('\\') != slash) {
            serial = instance_id.substr(slash + 1);
        }
    } else {
        // FTDI's own bus: FTDIBUS\VID_xxxx+PID_xxxx+SERIALA\0000 (A: the first channel).
        const auto plus = instance_id.find('+', upper.find("PID_"));
        const auto slash = instance_id.find('\\', plus == std::string::npos ? 0 : plus);
        if (plus != std::string::npos && slash != std::string::npos && slash > plus + 1) {
            serial = instance_id.substr(plus + 1, slash - plus - 1);
        }
    }
    if (serial.find('&') == std::string::npos) {
        info.serial_number = serial;
    }
}

bool PortExists(unsigned n) {
    if (n == 0) {
        return false;
    }
    const std::string name = ComPortDeviceName(n);
    UniqueHandle h(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    return h.Valid();
}

std::vector<PortInfo> ListPorts() {
    const std::map<std::string, PortInfo> known = KnownDevices();
    std::vector<PortInfo> ports;
    for (unsigned n = 1; n <= kLastComPort; ++n) {
        if (!PortExists(n)) {
            continue;
        }
        const std::string name = "COM" + std::to_string(n);
        const auto found = known.find(name);
        PortInfo info = found != known.end() ? found->second : PortInfo{};
        info.name = name;
        if (info.description.empty()) {
            info.description = "Serial port " + name;
        }
        ports.push_back(std::move(info));
    }
    return ports;
}

std::string VirtualPortDirectory() {
    return {};
}

}  // namespace tovra
