// Integer emulation of the x87 extended-precision steps used by the frequency register
// conversions: each product is rounded to a 64-bit mantissa (round to nearest, ties to
// even) exactly as the FPU does, and then either rounded again to a double or truncated.
#include <cmath>
#include <cstdint>

#include "protocol/frequency.h"

namespace tovra::frequency_detail {

namespace {

// value = mant * 2^exp; mant has bit 63 set, or is 0 for zero.
struct Extended {
    std::uint64_t mant = 0;
    int exp = 0;
};

// 1 / 61.035 (61.035 taken as a double) rounded to 64 bits: 0x8.637d38a4eba31a2p-9.
constexpr Extended kInverseStep{0x8637D38A4EBA31A2ull, -69};
// The extended value nearest to 0.000001: 0x8.637bd05af6c69b6p-23.
constexpr Extended kMicro{0x8637BD05AF6C69B6ull, -83};

struct U128 {
    std::uint64_t hi;
    std::uint64_t lo;
};

U128 Multiply64(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32;
    const std::uint64_t b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
    const std::uint64_t ll = a_lo * b_lo, lh = a_lo * b_hi, hl = a_hi * b_lo, hh = a_hi * b_hi;
    const std::uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (mid >> 32), (mid << 32) | (ll & 0xFFFFFFFFu)};
}

Extended FromInteger(std::uint64_t v) {
    if (v == 0) {
        return {};
    }
    int shift = 0;
    while ((v & (1ull << 63)) == 0) {
        v <<= 1;
        ++shift;
    }
    return {v, -shift};
}

Extended FromDouble(double d) {
    if (d == 0.0) {
        return {};
    }
    int e = 0;
    const double f = std::frexp(d, &e);  // d = f * 2^e, 0.5 <= f < 1
    const auto m53 = static_cast<std::uint64_t>(std::ldexp(f, 53));
    Extended x = FromInteger(m53);
    x.exp += e - 53;
    return x;
}

// Product of two extended values, rounded to a 64-bit mantissa like the FPU.
Extended Multiply(Extended a, Extended b) {
    if (a.mant == 0 || b.mant == 0) {
        return {};
    }
    const U128 p = Multiply64(a.mant, b.mant);  // in [2^126, 2^128)
    const int shift = (p.hi >> 63) ? 64 : 63;
    std::uint64_t mant;
    bool round_bit;
    bool sticky;
    if (shift == 64) {
        mant = p.hi;
        round_bit = (p.lo >> 63) != 0;
        sticky = (p.lo << 1) != 0;
    } else {
        mant = (p.hi << 1) | (p.lo >> 63);
        round_bit = ((p.lo >> 62) & 1) != 0;
        sticky = (p.lo << 2) != 0;
    }
    int exp = a.exp + b.exp + shift;
    if (round_bit && (sticky || (mant & 1))) {
        ++mant;
        if (mant == 0) {  // carried out of the top bit
            mant = 1ull << 63;
            ++exp;
        }
    }
    return {mant, exp};
}

// Round a 64-bit mantissa to the 53 bits of a double, ties to even.
double ToDouble(Extended x) {
    if (x.mant == 0) {
        return 0.0;
    }
    std::uint64_t m = x.mant >> 11;
    const std::uint64_t rest = x.mant & 0x7FF;
    if (rest > 0x400 || (rest == 0x400 && (m & 1))) {
        ++m;
    }
    return std::ldexp(static_cast<double>(m), x.exp + 11);
}

// Integer part, low 32 bits, saturated beyond 2^64 (as the native path does).
std::uint32_t Truncate(Extended x) {
    if (x.mant == 0 || x.exp <= -64) {
        return 0;
    }
    if (x.exp > 0) {
        return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(x.exp == 0 ? x.mant : x.mant >> -x.exp);
}

}  // namespace

std::uint32_t EncodePortable(double mhz) {
    if (!(mhz > 0.0) || std::isinf(mhz)) {
        return mhz > 0.0 ? 0xFFFFFFFFu : 0;
    }
    const double product = ToDouble(Multiply(FromDouble(mhz), kInverseStep));
    return Truncate(Multiply(FromDouble(product), FromInteger(1000000)));
}

double DecodePortable(std::uint32_t reg) {
    const double scaled = ToDouble(Multiply(FromInteger(reg), kMicro));
    return ToDouble(Multiply(FromDouble(scaled), FromDouble(61.03515625)));
}

}  // namespace tovra::frequency_detail
