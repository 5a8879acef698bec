#include "cli/trace.h"

#include <cstdio>

#include "cli/hex.h"

namespace tovra::cli {

std::string TraceLine(std::chrono::system_clock::time_point when, const std::string& port,
                      bool sent, std::span<const std::uint8_t> frame) {
    using namespace std::chrono;
    const auto since_midnight = when.time_since_epoch() - floor<days>(when.time_since_epoch());
    const auto ms = duration_cast<milliseconds>(since_midnight).count();
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return std::string(stamp) + " " + port + (sent ? " TX " : " RX ") + FormatHex(frame) + "\n";
}

}  // namespace tovra::cli
