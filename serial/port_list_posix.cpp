// Port listing on POSIX: hardware ttys from sysfs (Linux), then the virtual port links.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "serial/port_list_posix.h"

namespace tovra {

namespace fs = std::filesystem;

namespace {

std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

std::string LinkBaseName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

bool IsCharDevice(const fs::path& path) {
    std::error_code ec;
    return fs::is_character_file(fs::status(path, ec));  // follows links
}

// "ttyS2" before "ttyS10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a[i] >= '0' && a[i] <= '9';
        const bool db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9') {
                ++ei;
            }
            while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9') {
                ++ej;
            }
            std::string na = a.substr(i, ei - i);
            std::string nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

void SortByName(std::vector<PortInfo>& ports) {
    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.name, b.name); });
}

// The USB device a tty hangs off: the nearest ancestor with an idVendor attribute (the tty's
// device is a usb-serial port or an interface; the USB device is one or two levels up).
fs::path UsbDeviceOf(fs::path device) {
    for (int level = 0; level < 4 && device.has_parent_path(); ++level) {
        std::error_code ec;
        if (fs::exists(device / "idVendor", ec)) {
            return device;
        }
        device = device.parent_path();
    }
    return {};
}

// The driver that tells a user what kind of port this is. Newer kernels put generic
// serial-base "port"/"ctrl" devices between the tty and the real UART; look past them.
std::string DriverOf(fs::path device) {
    for (int level = 0; level < 4 && device.has_parent_path(); ++level) {
        if (LinkBaseName(device / "subsystem") != "serial-base") {
            const std::string driver = LinkBaseName(device / "driver");
            if (!driver.empty()) {
                return driver;
            }
        }
        device = device.parent_path();
    }
    return {};
}

void DescribeUsb(const fs::path& usb, PortInfo& info) {
    info.vendor_id = ReadAttribute(usb / "idVendor");
    info.product_id = ReadAttribute(usb / "idProduct");
    info.manufacturer = ReadAttribute(usb / "manufacturer");
    info.product = ReadAttribute(usb / "product");
    info.serial_number = ReadAttribute(usb / "serial");
    if (!info.product.empty() && !info.manufacturer.empty()) {
        info.description = info.product + " (" + info.manufacturer + ")";
    } else if (!info.product.empty() || !info.manufacturer.empty()) {
        info.description = info.product.empty() ? info.manufacturer : info.product;
    } else {
        info.description = "USB serial adapter " + info.vendor_id + ":" + info.product_id;
    }
}

// Owned by this user and not writable by others, so no one else can plant links in it.
bool TrustedDirectory(const fs::path& dir) {
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & S_IWOTH) == 0;
}

}  // namespace

std::vector<PortInfo> ListTtyPorts(const std::string& sys_class_tty, const std::string& dev_dir) {
    std::vector<PortInfo> ports;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sys_class_tty, ec)) {
        const fs::path tty = entry.path();
        std::error_code link_ec;
        // Virtual consoles, ptmx and the like have no device behind them.
        const fs::path device = fs::canonical(tty / "device", link_ec);
        if (link_ec) {
            continue;
        }
        // Legacy UART slots without a chip report type 0 (unknown): they cannot be used.
        std::error_code type_ec;
        if (fs::exists(tty / "type", type_ec) && ReadAttribute(tty / "type") == "0") {
            continue;
        }
        const std::string name = tty.filename().string();
        const fs::path node = fs::path(dev_dir) / name;
        if (!IsCharDevice(node)) {
            continue;
        }
        PortInfo info;
        info.name = node.string();
        const fs::path usb = UsbDeviceOf(device);
        if (!usb.empty()) {
            DescribeUsb(usb, info);
        } else {
            const std::string driver = DriverOf(device);
            info.description = driver.empty() ? "Serial port" : "Serial port (" + driver + ")";
        }
        ports.push_back(std::move(info));
    }
    SortByName(ports);
    return ports;
}

std::vector<PortInfo> ListVirtualPorts(const std::string& dir) {
    std::vector<PortInfo> ports;
    if (dir.empty()) {
        return ports;
    }
    const fs::path root(dir);
    if (!TrustedDirectory(root) || !TrustedDirectory(root.parent_path())) {
        return ports;
    }
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        std::error_code link_ec;
        if (!entry.is_symlink(link_ec) || !IsCharDevice(entry.path())) {
            continue;  // also skips dangling links
        }
        PortInfo info;
        info.name = entry.path().string();
        info.is_virtual = true;
        const fs::path target = fs::read_symlink(entry.path(), link_ec);
        info.description = "Virtual port (" + target.string() + ")";
        ports.push_back(std::move(info));
    }
    SortByName(ports);
    return ports;
}

std::string VirtualPortDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/tovra-rf/ports";
    }
    return "/tmp/tovra-rf-" + std::to_string(::getuid()) + "/ports";
}

std::vector<PortInfo> ListPorts() {
    std::vector<PortInfo> ports = ListTtyPorts("/sys/class/tty", "/dev");
    std::vector<PortInfo> virtual_ports = ListVirtualPorts(VirtualPortDirectory());
    ports.insert(ports.end(), std::make_move_iterator(virtual_ports.begin()),
                 std::make_move_iterator(virtual_ports.end()));
    return ports;
}

// COM port probing is a Windows notion; POSIX ports are named by path.
bool PortExists(unsigned /*n*/) {
    return false;
}

}  // namespace tovra
