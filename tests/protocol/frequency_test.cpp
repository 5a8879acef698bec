#include <gtest/gtest.h>

#include <cstdint>

#include "protocol/frequency.h"

namespace tovra {
namespace {

using namespace frequency_detail;

struct EncodeCase {
    double mhz;
    std::uint32_t reg;
};

TEST(Frequency, EncodeWorkedValuesOnBothPaths) {
    const EncodeCase cases[] = {
        {434.00, 7110674}, {433.00, 7094290}, {868.00, 14221348}, {990.00, 16220201},
        {470.00, 7700499}, {244.14, 4000000}, {488.28, 8000000},  {976.56, 16000000},
        {0.0, 0},          {-5.0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeFrequency(c.mhz), c.reg) << c.mhz;
        EXPECT_EQ(EncodePortable(c.mhz), c.reg) << c.mhz;
    }
}

TEST(Frequency, DecodeWorkedValuesOnBothPaths) {
    EXPECT_EQ(DecodeFrequency(0x6C, 0x80, 0x12), 434.0010986328125);
    EXPECT_EQ(DecodeFrequency(0x6C, 0x48, 0x00), 433.125);  // a plain double chain is 1 ulp low
    EXPECT_NEAR(DecodeFrequency(0xFF, 0xFF, 0xFF), 1023.99994, 1e-5);
    EXPECT_EQ(DecodeFrequency(0, 0, 0), 0.0);
    EXPECT_EQ(DecodePortable(7110674), 434.0010986328125);
    EXPECT_EQ(DecodePortable(7096320), 433.125);
}

TEST(Frequency, WritingThenReadingMovesTheValue) {
    const std::uint32_t reg = EncodeFrequency(434.00);
    EXPECT_NE(DecodeFrequency(reg >> 16, (reg >> 8) & 0xFF, reg & 0xFF), 434.00);
}

TEST(Frequency, EveryTwoDecimalFrequencyMatchesNativeExtended) {
    if (!HaveNativeExtended()) {
        GTEST_SKIP() << "long double is not 80-bit here";
    }
    for (int centi = 0; centi <= 99000; ++centi) {
        const double mhz = centi / 100.0;
        ASSERT_EQ(EncodePortable(mhz), EncodeNative(mhz)) << mhz;
    }
}

TEST(Frequency, EveryTwoDecimalFrequencyMatchesThePlainDoubleFormula) {
    // Holds on every compiler: the documented property of the extended-precision steps.
    for (int centi = 0; centi <= 99000; ++centi) {
        const double mhz = centi / 100.0;
        const auto plain = static_cast<std::uint32_t>(mhz / 61.035 * 1000000.0);
        ASSERT_EQ(EncodeFrequency(mhz), plain) << mhz;
    }
}

TEST(Frequency, EveryRegisterDecodesIdenticallyOnBothPaths) {
    if (!HaveNativeExtended()) {
        GTEST_SKIP() << "long double is not 80-bit here";
    }
    for (std::uint32_t reg = 0; reg < (1u << 24); ++reg) {
        ASSERT_EQ(DecodePortable(reg), DecodeNative(reg)) << reg;
    }
}

TEST(Frequency, OutOfRangeInputsAgreeOnBothPaths) {
    const double inputs[] = {1e-300, 5e-324, 1e9, 1e30, 1e300, 1.7976931348623157e308};
    for (double mhz : inputs) {
        if (HaveNativeExtended()) {
            EXPECT_EQ(EncodePortable(mhz), EncodeNative(mhz)) << mhz;
        }
    }
    EXPECT_EQ(EncodePortable(1e30), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tovra
