// COM port names: pure functions, so this runs on every platform.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "serial/cx_serial.h"

namespace tovra {
namespace {

TEST(ComPortNames, DeviceNameSwitchesToDeviceNamespaceFromTen) {
    const struct {
        unsigned n;
        const char* name;
    } cases[] = {
        {1, "COM1"},
        {9, "COM9"},
        {10, "\\\\.\\COM10"},
        {255, "\\\\.\\COM255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComPortDeviceName(c.n), c.name) << c.n;
    }
}

TEST(ComPortNames, NumberIsTheDigitsAfterTheFirstM) {
    const struct {
        const char* text;
        unsigned n;
    } cases[] = {
        {"COM1", 1},
        {"COM9", 9},
        {"COM10", 10},
        {"COM255", 255},
        {"COM", 0},     // no digits
        {"com12", 12},  // device names are case-insensitive
        {"", 0},
        {"ttyUSB0", 0},         // no M at all
        {"COM7x", 7},           // digits end the number
        {"COM99999999999", 0},  // too large must not wrap onto a real port
        {"COM4294967295", 4294967295u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComPortNumber(c.text), c.n) << '"' << c.text << '"';
    }
}

TEST(SerialErrorKinds, EveryKindHasItsOwnName) {
    const SerialErrorKind kinds[] = {
        SerialErrorKind::None,
        SerialErrorKind::NotFound,
        SerialErrorKind::Busy,
        SerialErrorKind::PermissionDenied,
        SerialErrorKind::UnsupportedSetting,
        SerialErrorKind::IoError,
        SerialErrorKind::DeviceGone,
    };
    std::set<std::string> names;
    for (SerialErrorKind k : kinds) {
        names.insert(SerialErrorKindName(k));
    }
    EXPECT_EQ(names.size(), std::size(kinds));
}

}  // namespace
}  // namespace tovra
