#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace tovra::cli {

// One --trace line: "14:03:22.417Z /dev/pts/3 TX AF AF ...\n" (UTC time of day, so the
// same on every platform; TX for a request, RX for a reply frame).
std::string TraceLine(std::chrono::system_clock::time_point when, const std::string& port,
                      bool sent, std::span<const std::uint8_t> frame);

}  // namespace tovra::cli
