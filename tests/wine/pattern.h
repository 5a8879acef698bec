#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tovra::test {

// A reproducible byte sequence, the same on both ends of the test line: the Windows test
// checks what the native peer sent (and the other way round) without shipping the bytes.
// Every byte value occurs, so a line that drops or rewrites control characters shows.
inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint8_t> out(n);
    std::uint32_t x = seed ^ 0x9e3779b9u;
    for (std::size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

}  // namespace tovra::test
