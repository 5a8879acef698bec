// Port listing: virtual port links, and hardware ttys from a prepared sysfs tree.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "serial/port_list.h"
#include "serial/port_list_posix.h"
#include "tests/serial/pty_pair.h"

namespace tovra {
namespace {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tovra-list-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

std::vector<std::string> Names(const std::vector<PortInfo>& ports) {
    std::vector<std::string> names;
    for (const PortInfo& p : ports) {
        names.push_back(p.name);
    }
    return names;
}

TEST(VirtualPortDirectory, FollowsTheRuntimeDirectory) {
    {
        ScopedEnv env("XDG_RUNTIME_DIR", "/run/user/4242");
        EXPECT_EQ(VirtualPortDirectory(), "/run/user/4242/tovra-rf/ports");
    }
    const std::string fallback = "/tmp/tovra-rf-" + std::to_string(::getuid()) + "/ports";
    {
        ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(VirtualPortDirectory(), fallback);
    }
    {
        ScopedEnv env("XDG_RUNTIME_DIR", "");
        EXPECT_EQ(VirtualPortDirectory(), fallback);
    }
}

TEST(ListPorts, FindsAVirtualPortLinkAndSkipsTheRest) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TempDir runtime;
    ASSERT_FALSE(runtime.Path().empty());
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const fs::path ports = VirtualPortDirectory();
    fs::create_directories(ports);
    ::chmod(ports.parent_path().c_str(), 0755);  // whatever the umask
    ::chmod(ports.c_str(), 0755);
    WriteFile(runtime.Path() / "plain", "x");
    fs::create_symlink(pty.SlavePath(), ports / "sim");
    fs::create_symlink(pty.SlavePath(), ports / "sim10");
    fs::create_symlink(pty.SlavePath(), ports / "sim9");
    fs::create_symlink(runtime.Path() / "gone", ports / "dangling");
    fs::create_symlink(runtime.Path() / "plain", ports / "to-a-file");
    WriteFile(ports / "not-a-link", "x");

    const std::vector<PortInfo> listed = ListPorts();
    std::vector<std::string> virtual_names;
    bool real_after_virtual = false;
    for (const PortInfo& p : listed) {
        if (p.is_virtual) {
            virtual_names.push_back(p.name);
            EXPECT_NE(p.description.find(pty.SlavePath()), std::string::npos) << p.description;
        } else if (!virtual_names.empty()) {
            real_after_virtual = true;
        }
    }
    EXPECT_EQ(virtual_names,
              (std::vector<std::string>{(ports / "sim").string(), (ports / "sim9").string(),
                                        (ports / "sim10").string()}));
    EXPECT_FALSE(real_after_virtual) << "real devices come first";
}

TEST(ListPorts, IgnoresAVirtualPortDirectoryOthersCanWrite) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TempDir runtime;
    const fs::path ports = runtime.Path() / "tovra-rf" / "ports";
    fs::create_directories(ports);
    ::chmod(ports.parent_path().c_str(), 0755);
    ::chmod(ports.c_str(), 0755);
    fs::create_symlink(pty.SlavePath(), ports / "planted");
    ASSERT_EQ(ListVirtualPorts(ports.string()).size(), 1u);
    ::chmod(ports.c_str(), 0777);
    EXPECT_TRUE(ListVirtualPorts(ports.string()).empty());
    EXPECT_TRUE(ListVirtualPorts((runtime.Path() / "missing").string()).empty());
}

// A small sysfs: USB serial and ACM adapters, present and phantom 8250 slots, a console.
class FakeSysfs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(root_.Path().empty());
        const fs::path devices = root_.Path() / "devices";
        // ttyUSB0: usb-serial port -> interface -> USB device with the attributes.
        const fs::path cp2102 = devices / "usb1" / "1-1";
        WriteFile(cp2102 / "idVendor", "10c4");
        WriteFile(cp2102 / "idProduct", "ea60");
        WriteFile(cp2102 / "manufacturer", "Silicon Labs");
        WriteFile(cp2102 / "product", "CP2102 USB to UART Bridge Controller");
        WriteFile(cp2102 / "serial", "0001");
        fs::create_directories(cp2102 / "1-1:1.0" / "ttyUSB0");
        AddTty("ttyUSB0", cp2102 / "1-1:1.0" / "ttyUSB0");
        // ttyACM0: the tty's device is the interface itself; no strings in the descriptor.
        const fs::path acm = devices / "usb1" / "1-2";
        WriteFile(acm / "idVendor", "2341");
        WriteFile(acm / "idProduct", "0043");
        fs::create_directories(acm / "1-2:1.0");
        AddTty("ttyACM0", acm / "1-2:1.0");
        // 8250 slots: type 4 is a 16550A that is there, type 0 an empty legacy slot.
        const fs::path uart = devices / "platform" / "serial8250";
        fs::create_directories(root_.Path() / "drivers" / "serial8250");
        fs::create_directories(uart);
        fs::create_directory_symlink(root_.Path() / "drivers" / "serial8250", uart / "driver");
        for (const char* name : {"ttyS0", "ttyS2", "ttyS10"}) {
            AddTty(name, uart, "4");
        }
        AddTty("ttyS1", uart, "0");
        // A virtual console: no device behind it.
        fs::create_directories(ClassTty() / "tty0");
        MakeNode("tty0");
        // A device whose node is missing from /dev.
        fs::create_directories(cp2102 / "1-1:1.1" / "ttyUSB1");
        fs::create_directories(ClassTty() / "ttyUSB1");
        fs::create_directory_symlink(cp2102 / "1-1:1.1" / "ttyUSB1",
                                     ClassTty() / "ttyUSB1" / "device");
    }

    fs::path ClassTty() const { return root_.Path() / "class" / "tty"; }
    fs::path Dev() const { return root_.Path() / "dev"; }

    void AddTty(const std::string& name, const fs::path& device, const char* type = nullptr) {
        const fs::path tty = ClassTty() / name;
        fs::create_directories(tty);
        fs::create_directory_symlink(device, tty / "device");
        if (type != nullptr) {
            WriteFile(tty / "type", type);
        }
        MakeNode(name);
    }
    // Nodes are links to /dev/null: a character device that needs no privileges to make.
    void MakeNode(const std::string& name) {
        fs::create_directories(Dev());
        fs::create_symlink("/dev/null", Dev() / name);
    }

    TempDir root_;
};

TEST_F(FakeSysfs, ListsPresentDevicesByNameWithTheirUsbAttributes) {
    const std::vector<PortInfo> ports = ListTtyPorts(ClassTty().string(), Dev().string());
    const std::string dev = Dev().string() + "/";
    EXPECT_EQ(Names(ports), (std::vector<std::string>{dev + "ttyACM0", dev + "ttyS0", dev + "ttyS2",
                                                      dev + "ttyS10", dev + "ttyUSB0"}));
    ASSERT_EQ(ports.size(), 5u);
    const PortInfo& usb = ports[4];
    EXPECT_EQ(usb.vendor_id, "10c4");
    EXPECT_EQ(usb.product_id, "ea60");
    EXPECT_EQ(usb.manufacturer, "Silicon Labs");
    EXPECT_EQ(usb.product, "CP2102 USB to UART Bridge Controller");
    EXPECT_EQ(usb.serial_number, "0001");
    EXPECT_NE(usb.description.find("CP2102"), std::string::npos) << usb.description;
    EXPECT_FALSE(usb.is_virtual);

    const PortInfo& acm = ports[0];
    EXPECT_EQ(acm.vendor_id, "2341");
    EXPECT_EQ(acm.product_id, "0043");
    EXPECT_NE(acm.description.find("2341:0043"), std::string::npos) << acm.description;

    const PortInfo& uart = ports[1];
    EXPECT_TRUE(uart.vendor_id.empty());
    EXPECT_NE(uart.description.find("serial8250"), std::string::npos) << uart.description;
}

}  // namespace
}  // namespace tovra
