#include "protocol/frequency.h"

#include <cfloat>
#include <cmath>

namespace tovra {
namespace frequency_detail {

namespace {
constexpr bool kNativeExtended = LDBL_MANT_DIG == 64;

// Integer part of a non-negative extended value, low 32 bits, saturated beyond 2^64.
std::uint32_t TruncateRegister(long double r) {
    if (!(r >= 1.0L)) {
        return 0;
    }
    if (r >= 18446744073709551616.0L) {
        return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(r));
}
}  // namespace

bool HaveNativeExtended() {
    return kNativeExtended;
}

std::uint32_t EncodeNative(double mhz) {
    if (!(mhz > 0.0)) {
        return 0;
    }
    // 61.035 is a double; its reciprocal is held in extended precision.
    const long double k = 1.0L / static_cast<long double>(61.035);
    const double product = static_cast<double>(static_cast<long double>(mhz) * k);
    return TruncateRegister(static_cast<long double>(product) * 1000000.0L);
}

double DecodeNative(std::uint32_t reg) {
    const long double micro = 0.000001L;
    const double scaled = static_cast<double>(static_cast<long double>(reg) * micro);
    return static_cast<double>(static_cast<long double>(scaled) * 61.03515625L);
}

}  // namespace frequency_detail

std::uint32_t EncodeFrequency(double mhz) {
    if constexpr (frequency_detail::kNativeExtended) {
        return frequency_detail::EncodeNative(mhz);
    } else {
        return frequency_detail::EncodePortable(mhz);
    }
}

double DecodeFrequency(std::uint8_t b10, std::uint8_t b11, std::uint8_t b12) {
    const std::uint32_t reg = (std::uint32_t{b10} << 16) | (std::uint32_t{b11} << 8) | b12;
    if constexpr (frequency_detail::kNativeExtended) {
        return frequency_detail::DecodeNative(reg);
    } else {
        return frequency_detail::DecodePortable(reg);
    }
}

}  // namespace tovra
