#pragma once

#include <cstdint>

namespace tovra {

// Register written for a frequency: MHz / 61.035 * 1e6, with the module's historical
// rounding steps in 80-bit extended precision, truncated toward zero. Non-positive or NaN
// input gives 0; a value beyond 2^64 saturates. Only bits 23..0 go into a frame.
std::uint32_t EncodeFrequency(double mhz);

// MHz for a received register (step 61.03515625 Hz), again with extended-precision steps.
double DecodeFrequency(std::uint8_t b10, std::uint8_t b11, std::uint8_t b12);

// The two implementations behind the functions above. The native one exists only where
// long double has a 64-bit mantissa; the portable one emulates those steps with integers
// so results are identical on compilers whose long double is a plain double.
namespace frequency_detail {
bool HaveNativeExtended();
std::uint32_t EncodeNative(double mhz);
double DecodeNative(std::uint32_t reg);
std::uint32_t EncodePortable(double mhz);
double DecodePortable(std::uint32_t reg);
}  // namespace frequency_detail

}  // namespace tovra
