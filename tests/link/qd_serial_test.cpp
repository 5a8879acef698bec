#include <gtest/gtest.h>

#include "link/qd_serial.h"
#include "protocol/units.h"

namespace tovra {
namespace {

TEST(QDSerialClosed, RequestsFailAndWriteNothing) {
    QDSerial link;
    const ModuleSettings s = InitialWindowSettings();
    int observed = 0;
    link.SetFrameObserver([&](QDSerial::Direction, std::span<const std::uint8_t>) { ++observed; });
    EXPECT_FALSE(link.ReadAll());
    EXPECT_FALSE(link.WriteAll(&s));
    EXPECT_FALSE(link.WriteAll(nullptr));
    EXPECT_EQ(observed, 0);
}

TEST(QDSerialClosed, StartsWithZeroedValues) {
    QDSerial link;
    EXPECT_EQ(link.Decoded(), ModuleSettings{});
}

}  // namespace
}  // namespace tovra
