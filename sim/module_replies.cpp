#include "sim/module_replies.h"

#include <algorithm>
#include <array>
#include <span>

#include "protocol/frame.h"

namespace tovra::sim {

std::vector<std::uint8_t> Answer(const Request& request, ModuleState& state,
                                 std::size_t settings_length) {
    const auto settings_reply = [&](std::uint8_t command) {
        const std::size_t length = std::min(settings_length, state.block.size());
        return BuildFrame(request.header, command, std::span(state.block.data(), length));
    };
    const auto version_reply = [&](std::uint8_t command) {
        const std::array<std::uint8_t, 2> payload{state.version, 0x00};
        return BuildFrame(request.header, command, payload);
    };
    switch (request.command) {
        case kCmdWriteAll:
            if (request.payload.size() < state.block.size()) {
                return {};
            }
            std::copy_n(request.payload.begin(), state.block.size(), state.block.begin());
            return settings_reply(kCmdWriteAll);
        case kCmdReadAll:
            return settings_reply(kCmdReadAll);
        case kCmdVersionWrite:
            if (request.payload.empty()) {
                return {};
            }
            state.version = request.payload[0];
            return version_reply(kCmdVersionWrite);
        case kCmdVersionRead:
            return version_reply(kCmdVersionRead);
        default:
            return {};
    }
}

void CorruptChecksum(std::vector<std::uint8_t>& frame) {
    if (frame.size() < kFrameOverhead) {
        return;
    }
    std::uint8_t& checksum = frame[frame.size() - 3];
    std::uint8_t wrong = checksum ^ 0x01;
    if (wrong == 0xAF || wrong == 0x0A) {
        wrong = checksum ^ 0x02;
    }
    checksum = wrong;
}

std::vector<std::uint8_t> Noise(std::size_t count, std::minstd_rand& rng) {
    std::uniform_int_distribution<int> byte(0, 254);
    std::vector<std::uint8_t> out(count);
    for (auto& b : out) {
        const int v = byte(rng);
        // 0..254 with 0xAF mapped onto 0xFF: every byte but 0xAF.
        b = static_cast<std::uint8_t>(v == 0xAF ? 0xFF : v);
    }
    return out;
}

}  // namespace tovra::sim
