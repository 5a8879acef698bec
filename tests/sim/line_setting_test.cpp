#include <gtest/gtest.h>
#include <termios.h>

#include <algorithm>
#include <random>
#include <string>

#include "protocol/frame.h"
#include "sim/line_setting.h"
#include "sim/module_replies.h"

namespace tovra::sim {
namespace {

struct TermiosCase {
    std::string name;
    speed_t speed;
    tcflag_t cflag;
    tcflag_t iflag;
    LineSetting expected;
};

// What a port set with these flags is taken for. The Linux pty clears PARENB, so INPCK
// and PARODD alone must still read as parity.
TEST(LineFromTermios, ReadsSpeedAndParity) {
    const TermiosCase cases[] = {
        {"plain", B9600, 0, 0, {9600, LineParity::None}},
        {"even", B19200, PARENB, INPCK, {19200, LineParity::Even}},
        {"odd", B115200, PARENB | PARODD, INPCK, {115200, LineParity::Odd}},
        {"even after pty", B9600, 0, INPCK, {9600, LineParity::Even}},
        {"odd after pty", B9600, PARODD, 0, {9600, LineParity::Odd}},
        {"mark or space", B9600, PARENB | CMSPAR, INPCK, {9600, LineParity::Other}},
        {"non-standard speed", B300, 0, 0, {0, LineParity::None}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        termios t{};
        cfmakeraw(&t);
        cfsetospeed(&t, c.speed);
        cfsetispeed(&t, c.speed);
        t.c_cflag |= c.cflag;
        t.c_iflag |= c.iflag;
        EXPECT_EQ(LineFromTermios(t), c.expected);
    }
}

TEST(ModuleUart, MatchesOnlyADefinedSetting) {
    EXPECT_EQ(ModuleUart(0, 1), (LineSetting{115200, LineParity::Odd}));
    EXPECT_EQ(ModuleUart(1, 2), (LineSetting{1200, LineParity::Even}));
    EXPECT_TRUE(LineMatches({9600, LineParity::None}, ModuleUart(4, 0)));
    EXPECT_FALSE(LineMatches({0, LineParity::None}, ModuleUart(8, 0)));
    EXPECT_FALSE(LineMatches({9600, LineParity::Other}, ModuleUart(4, 3)));
}

TEST(ByteTime, TenBitsOrElevenWithParity) {
    using std::chrono::nanoseconds;
    EXPECT_EQ(ByteTime({9600, LineParity::None}), nanoseconds(1'041'666));
    EXPECT_EQ(ByteTime({1200, LineParity::Odd}), nanoseconds(9'166'666));
    EXPECT_EQ(ByteTime({0, LineParity::None}), nanoseconds(0));
}

// The wrong checksum must not be a byte that moves the frame's start or end.
TEST(CorruptChecksum, ChangesTheChecksumOnly) {
    for (int checksum = 0; checksum < 256; ++checksum) {
        std::vector<std::uint8_t> frame = {
            0xAF, 0xAF, 0, 0, 0xAF, 0x80, 0x81, 0x02, 0, 0, static_cast<std::uint8_t>(checksum),
            0x0D, 0x0A};
        const auto before = frame;
        CorruptChecksum(frame);
        SCOPED_TRACE(checksum);
        EXPECT_NE(frame[10], checksum);
        EXPECT_NE(frame[10], 0xAF);
        EXPECT_NE(frame[10], 0x0A);
        frame[10] = before[10];
        EXPECT_EQ(frame, before);
    }
}

}  // namespace
}  // namespace tovra::sim
