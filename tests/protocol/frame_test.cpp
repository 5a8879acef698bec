#include <gtest/gtest.h>

#include <string>

#include "protocol/frame.h"
#include "protocol/frequency.h"
#include "protocol/units.h"

namespace tovra {
namespace {

template <typename Frame>
std::string Hex(const Frame& f) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (auto b : f) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(Frames, FixedRequestsByteForByte) {
    EXPECT_EQ(Hex(BuildReadAllFrame()),
              "AF AF 00 00 AF 80 02 0C 00 00 00 00 00 00 00 00 00 00 00 00 9B 0D 0A");
    EXPECT_EQ(Hex(BuildVersionWriteFrame(0)), "AF AF 00 00 AF 80 80 02 00 00 0F 0D 0A");
    EXPECT_EQ(Hex(BuildVersionWriteFrame(1)), "AF AF 00 00 AF 80 80 02 01 00 10 0D 0A");
    EXPECT_EQ(Hex(BuildVersionReadFrame()), "AF AF 00 00 AF 80 81 02 00 00 10 0D 0A");
}

TEST(Frames, WriteAllFromInitialWindowValues) {
    EXPECT_EQ(Hex(BuildWriteAllFrame(InitialWindowSettings())),
              "AF AF 00 00 AF 80 01 0C 04 00 6C 80 12 0B 00 07 00 00 00 07 B5 0D 0A");
}

TEST(Frames, WriteAllKeepsShapeAndRecomputesChecksumForAnyRecord) {
    ModuleSettings s;
    s.McuBaudCode = 0xFF;
    s.McuParity = 0xFF;
    s.RfFrequency = 1e9;  // register beyond 24 bits: upper bits are dropped
    s.RfMode = 0xFF;
    s.Power = 0xFF;
    s.VersionCode = 9;
    s.VersionReady = 1;
    const Frame23 f = BuildWriteAllFrame(s);
    EXPECT_EQ(f[6], 0x01);
    EXPECT_EQ(f[7], 0x0C);
    EXPECT_EQ(f[20], FrameChecksum(f.data(), 20));
    EXPECT_EQ(f[21], 0x0D);
    EXPECT_EQ(f[22], 0x0A);
}

TEST(Frames, ChecksumIsSumModulo256) {
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0x03};
    EXPECT_EQ(FrameChecksum(bytes, 3), 0x01);
    EXPECT_EQ(FrameChecksum(bytes, 0), 0x00);
}

TEST(Frames, GenericFrameMatchesRequestBuilders) {
    const std::uint8_t zeros[12] = {};
    const auto generic = BuildFrame(kRequestHeader, kCmdReadAll, zeros);
    const Frame23 fixed = BuildReadAllFrame();
    EXPECT_EQ(generic, std::vector<std::uint8_t>(fixed.begin(), fixed.end()));
}

TEST(Frames, SyncPairInsideAFrameIsFound) {
    EXPECT_FALSE(HasSyncPairInside(BuildReadAllFrame()));
    EXPECT_FALSE(HasSyncPairInside(BuildWriteAllFrame(InitialWindowSettings())));
    ModuleSettings s = InitialWindowSettings();
    s.CustID_H = 0xAF;
    s.CustID_L = 0xAF;
    EXPECT_TRUE(HasSyncPairInside(BuildWriteAllFrame(s)));
    s = InitialWindowSettings();
    s.CustID_L = 0xAF;  // with the net id next to it
    s.NetID = 0xAF;
    EXPECT_TRUE(HasSyncPairInside(BuildWriteAllFrame(s)));
    s.NetID = 0xAE;
    EXPECT_FALSE(HasSyncPairInside(BuildWriteAllFrame(s)));
}

TEST(Units, ModuleBaudCodes) {
    // Position 7 (115200) is code 0 and code 0 selects position 7 again.
    EXPECT_EQ(McuBaudCodeFromPosition(7), 0);
    EXPECT_EQ(McuBaudCodeFromPosition(0), 1);
    EXPECT_EQ(McuBaudCodeFromPosition(-1), 0);
    EXPECT_EQ(PositionFromMcuBaudCode(0), 7);
    EXPECT_EQ(PositionFromMcuBaudCode(4), 3);
    EXPECT_EQ(PositionFromMcuBaudCode(8), std::nullopt);
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(PositionFromMcuBaudCode(McuBaudCodeFromPosition(p)), p);
    }
    EXPECT_EQ(BaudFromMcuBaudCode(0), 115200u);
    EXPECT_EQ(McuBaudCodeFromBaud(9600), 4);
    EXPECT_EQ(McuBaudCodeFromBaud(14400), std::nullopt);
}

TEST(Settings, BlockRoundTripKeepsVersionFields) {
    ModuleSettings in = InitialWindowSettings();
    in.CustID_H = 0x12;
    in.CustID_L = 0x34;
    const SettingsBlock block = EncodeSettingsBlock(in);
    ModuleSettings out;
    out.VersionCode = 1;
    out.VersionReady = 1;
    DecodeSettingsBlock(block.data(), out);
    EXPECT_EQ(out.VersionCode, 1);
    EXPECT_EQ(out.VersionReady, 1);
    out.VersionCode = 0;
    out.VersionReady = 0;
    // Writing and reading use different register steps, so the frequency comes back moved.
    EXPECT_EQ(out.RfFrequency, DecodeFrequency(0x6C, 0x80, 0x12));
    in.RfFrequency = out.RfFrequency;
    EXPECT_EQ(out, in);
}

}  // namespace
}  // namespace tovra
