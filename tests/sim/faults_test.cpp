#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "protocol/frame.h"
#include "protocol/units.h"
#include "sim/simulated_module.h"
#include "slave_port.h"

namespace tovra::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

Bytes ReadAll() {
    const auto f = BuildReadAllFrame();
    return Bytes(f.begin(), f.end());
}
Bytes VersionRead() {
    const auto f = BuildVersionReadFrame();
    return Bytes(f.begin(), f.end());
}
Bytes WriteAll(const ModuleSettings& s) {
    const auto f = BuildWriteAllFrame(s);
    return Bytes(f.begin(), f.end());
}

ModuleSettings WithUart(std::uint8_t baud_code, std::uint8_t parity) {
    ModuleSettings s = InitialWindowSettings();
    s.McuBaudCode = baud_code;
    s.McuParity = parity;
    return s;
}

constexpr ReplyOutcome kSettings{ReplyKind::Good, ReplyContent::Settings};
constexpr ReplyOutcome kVersion{ReplyKind::Good, ReplyContent::Version};
constexpr ReplyOutcome kBad{ReplyKind::ChecksumError, ReplyContent::None};
constexpr ReplyOutcome kAck{ReplyKind::Acknowledged, ReplyContent::None};

struct FaultCase {
    std::string name;
    Faults faults;
    Bytes request;
    std::optional<ReplyOutcome> outcome;  // nothing: no reply at all
    std::size_t reply_size = 0;           // bytes the tool reads, noise included
    int min_reads = 1;                    // the reply came in at least this many pieces
    std::chrono::milliseconds min_wait{0};
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

Faults Make(void (*set)(Faults&)) {
    Faults f;
    set(f);
    return f;
}

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, ShowsOnTheLine) {
    const FaultCase& c = GetParam();
    SimulatedModule module(InitialWindowSettings(), c.faults);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ASSERT_TRUE(port.IsOpen());

    const auto start = Clock::now();
    ASSERT_TRUE(port.Write(c.request));
    ASSERT_TRUE(module.WaitForRequests(1, kArrival));
    if (!c.outcome) {
        EXPECT_TRUE(port.Silent());
        EXPECT_EQ(module.RepliesSent(), 0u);
        return;
    }
    const auto reply = port.ReadReply();
    ASSERT_TRUE(reply.outcome);
    EXPECT_EQ(*reply.outcome, *c.outcome);
    EXPECT_EQ(reply.bytes.size(), c.reply_size) << ToHex(reply.bytes);
    EXPECT_GE(reply.reads, c.min_reads);
    EXPECT_GE(Clock::now() - start, c.min_wait);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"NoReply", Make([](Faults& f) { f.no_reply = true; }), ReadAll(), {}},
        FaultCase{"BadChecksumOnSettings", Make([](Faults& f) { f.bad_checksum = true; }),
                  ReadAll(), kBad, 23},
        FaultCase{"BadChecksumOnVersion", Make([](Faults& f) { f.bad_checksum = true; }),
                  VersionRead(), kBad, 13},
        FaultCase{"Delay", Make([](Faults& f) { f.delay_ms = 250; }), ReadAll(), kSettings, 23, 1,
                  std::chrono::milliseconds(250)},
        // 23 bytes 30 ms apart cannot all land in one read unless the reader sleeps 0.6 s.
        FaultCase{"SplitIntoBytes", Make([](Faults& f) { f.split_gap_ms = 30; }), ReadAll(),
                  kSettings, 23, 2},
        FaultCase{"NoiseBefore", Make([](Faults& f) { f.noise_bytes = 200; }), ReadAll(), kSettings,
                  223},
        FaultCase{"ShortSettingsReply", Make([](Faults& f) { f.short_reply = true; }), ReadAll(),
                  kAck, kFrameOverhead + kShortReplyLength},
        FaultCase{"ShortLeavesVersionRepliesWhole", Make([](Faults& f) { f.short_reply = true; }),
                  VersionRead(), kVersion, 13}),
    [](const auto& info) { return info.param.name; });

TEST(FaultDetails, ShortReplyIsTheBlockCutShort) {
    Faults f;
    f.short_reply = true;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ASSERT_TRUE(port.Write(ReadAll()));
    EXPECT_EQ(ToHex(port.ReadReply().bytes), "AF AF 00 00 AF 80 02 06 04 00 6C 80 12 0B A2 0D 0A");
}

TEST(FaultDetails, ShortWriteAllReplyStillStoresTheBlock) {
    Faults f;
    f.short_reply = true;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ModuleSettings s = InitialWindowSettings();
    s.NetID = 99;
    ASSERT_TRUE(port.Write(WriteAll(s)));
    ASSERT_TRUE(port.ReadReply().outcome);
    EXPECT_EQ(module.Settings().NetID, 99);
}

TEST(FaultDetails, NoiseNeverHoldsASyncByte) {
    Faults f;
    f.noise_bytes = 2000;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ASSERT_TRUE(port.Write(ReadAll()));
    const auto reply = port.ReadReply();
    ASSERT_EQ(reply.bytes.size(), 2000u + kSettingsFrameSize);
    EXPECT_EQ(std::count(reply.bytes.begin(), reply.bytes.begin() + 2000, 0xAF), 0);
}

// Pacing holds every byte for its time at the module's UART, whatever the line is set to.
// Only a lower bound is checked; the measured time is printed.
TEST(FaultDetails, PacingTakesTheWireTimeOfTheModuleUart) {
    struct PaceCase {
        std::uint8_t baud_code;
        std::uint8_t parity;
        double wire_ms;  // 23 bytes at 10 or 11 bits
    };
    for (const PaceCase& c :
         {PaceCase{1, 1, 23 * 11 * 1000.0 / 1200}, PaceCase{2, 0, 23 * 10 * 1000.0 / 2400},
          PaceCase{0, 2, 23 * 11 * 1000.0 / 115200}}) {
        SCOPED_TRACE(c.baud_code);
        Faults f;
        f.pace = true;
        SimulatedModule module(WithUart(c.baud_code, c.parity), f);
        ASSERT_TRUE(module.Start());
        SlavePort port(module.PortPath());
        const auto start = Clock::now();
        ASSERT_TRUE(port.Write(ReadAll()));
        const auto reply = port.ReadReply();
        const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ASSERT_TRUE(reply.outcome);
        EXPECT_EQ(reply.outcome->kind, ReplyKind::Good);
        EXPECT_GE(took, c.wire_ms * 0.95);
        std::printf("paced reply, baud code %u parity %u: %.2f ms on the wire, %.2f ms taken\n",
                    c.baud_code, c.parity, c.wire_ms, took);
    }
}

struct LineCase {
    std::string name;
    std::uint8_t baud_code;  // module UART
    std::uint8_t parity;
    unsigned line_baud;  // the tool's port
    LineParity line_parity;
    bool answered;
};
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class MatchLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(MatchLineTest, AnswersOnlyAtTheModulesOwnSetting) {
    const LineCase& c = GetParam();
    Faults f;
    f.match_line = true;
    SimulatedModule module(WithUart(c.baud_code, c.parity), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath(), c.line_baud, c.line_parity);
    ASSERT_TRUE(port.IsOpen());

    ASSERT_TRUE(port.Write(ReadAll()));
    if (c.answered) {
        EXPECT_TRUE(port.ReadReply().outcome);
    } else {
        ASSERT_TRUE(module.WaitForReceived(kSettingsFrameSize, kArrival));
        EXPECT_TRUE(port.Silent());
        EXPECT_EQ(module.RequestsSeen(), 0u);
        EXPECT_EQ(module.Received().size(), kSettingsFrameSize);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Line, MatchLineTest,
    ::testing::Values(LineCase{"Same9600None", 4, 0, 9600, LineParity::None, true},
                      LineCase{"Faster", 4, 0, 19200, LineParity::None, false},
                      LineCase{"Slower", 4, 0, 4800, LineParity::None, false},
                      LineCase{"EvenAgainstNone", 4, 0, 9600, LineParity::Even, false},
                      LineCase{"OddAgainstNone", 4, 0, 9600, LineParity::Odd, false},
                      LineCase{"Same19200Even", 5, 2, 19200, LineParity::Even, true},
                      LineCase{"OddAgainstEven", 5, 2, 19200, LineParity::Odd, false},
                      LineCase{"NoneAgainstEven", 5, 2, 19200, LineParity::None, false},
                      LineCase{"Same115200Odd", 0, 1, 115200, LineParity::Odd, true},
                      LineCase{"UndefinedModuleSpeed", 9, 0, 9600, LineParity::None, false},
                      LineCase{"UndefinedModuleParity", 4, 3, 9600, LineParity::None, false}),
    [](const auto& info) { return info.param.name; });

TEST(MatchLine, AnswersOnceThePortIsSetRight) {
    Faults f;
    f.match_line = true;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath(), 38400, LineParity::None);
    ASSERT_TRUE(port.Write(ReadAll()));
    // Heard at the wrong speed before the line changes.
    ASSERT_TRUE(module.WaitForReceived(kSettingsFrameSize, kArrival));
    EXPECT_TRUE(port.Silent());

    ASSERT_TRUE(port.SetLine(9600, LineParity::None));
    ASSERT_TRUE(port.Write(ReadAll()));
    EXPECT_TRUE(port.ReadReply().outcome);
}

// A Write All that moves the module to another UART setting is answered at the old one;
// after that only the new one is understood.
TEST(MatchLine, NewUartSettingAppliesAfterTheReply) {
    Faults f;
    f.match_line = true;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath(), 9600, LineParity::None);

    ASSERT_TRUE(port.Write(WriteAll(WithUart(5, 2))));
    const auto reply = port.ReadReply();
    ASSERT_TRUE(reply.outcome);
    EXPECT_EQ(reply.decoded.McuBaudCode, 5);

    ASSERT_TRUE(port.Write(ReadAll()));
    ASSERT_TRUE(module.WaitForReceived(2 * kSettingsFrameSize, kArrival));
    EXPECT_TRUE(port.Silent());

    ASSERT_TRUE(port.SetLine(19200, LineParity::Even));
    ASSERT_TRUE(port.Write(ReadAll()));
    EXPECT_TRUE(port.ReadReply().outcome);
}

// Paced at the old speed: 23 bytes at 1200 baud take over 190 ms, at 115200 2 ms.
TEST(MatchLine, ReplyToAUartChangeIsPacedAtTheOldSpeed) {
    Faults f;
    f.pace = true;
    SimulatedModule module(WithUart(1, 0), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    const auto start = Clock::now();
    ASSERT_TRUE(port.Write(WriteAll(WithUart(0, 0))));
    ASSERT_TRUE(port.ReadReply().outcome);
    EXPECT_GE(Clock::now() - start, 180ms);
}

class LoseTest : public ::testing::Test {
  protected:
    static void ExpectAnswered(SlavePort& port, int times) {
        for (int i = 0; i < times; ++i) {
            ASSERT_TRUE(port.Write(ReadAll()));
            const auto reply = port.ReadReply();
            ASSERT_TRUE(reply.outcome) << "reply " << i;
        }
    }
};

TEST_F(LoseTest, PortIsLostAfterNRepliesAndRestartBringsANewOne) {
    Faults f;
    f.lose_after = 2;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ExpectAnswered(port, 2);
    EXPECT_TRUE(port.WaitHangup());
    EXPECT_TRUE(module.PortLost());

    ASSERT_TRUE(module.Restart()) << module.LastError();
    EXPECT_FALSE(module.PortLost());
    SlavePort fresh(module.PortPath());
    ASSERT_TRUE(fresh.IsOpen());
    // The count starts again on the new port.
    ExpectAnswered(fresh, 2);
    EXPECT_TRUE(fresh.WaitHangup());
    EXPECT_EQ(module.RepliesSent(), 4u);
}

TEST_F(LoseTest, ZeroLosesThePortAtTheFirstRequest) {
    Faults f;
    f.lose_after = 0;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ASSERT_TRUE(port.Write(ReadAll()));
    const auto reply = port.ReadReply();
    EXPECT_FALSE(reply.outcome);
    EXPECT_TRUE(port.WaitHangup());
    EXPECT_EQ(module.RepliesSent(), 0u);
}

TEST_F(LoseTest, TheLastReplyIsDeliveredEvenWhenReadLate) {
    Faults f;
    f.lose_after = 1;
    SimulatedModule module(InitialWindowSettings(), f);
    ASSERT_TRUE(module.Start());
    SlavePort port(module.PortPath());
    ASSERT_TRUE(port.Write(ReadAll()));
    ASSERT_TRUE(module.WaitForReplies(1, kArrival));
    // The module holds the port open until the tool has taken the reply.
    EXPECT_FALSE(module.PortLost());
    EXPECT_TRUE(port.ReadReply().outcome);
    EXPECT_TRUE(port.WaitHangup());
}

}  // namespace
}  // namespace tovra::sim::test
