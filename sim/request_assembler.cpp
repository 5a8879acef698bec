#include "sim/request_assembler.h"

#include <algorithm>
#include <cstddef>

namespace tovra::sim {

std::optional<std::uint8_t> RequestPayloadLength(std::uint8_t command) {
    switch (command) {
        case kCmdWriteAll:
        case kCmdReadAll:
            return static_cast<std::uint8_t>(kSettingsBlockSize);
        case kCmdVersionWrite:
        case kCmdVersionRead:
            return static_cast<std::uint8_t>(2);
        default:
            return std::nullopt;
    }
}

std::optional<Request> RequestAssembler::Feed(std::uint8_t b) {
    // The receiver resets its count when a frame ends, so the length is taken before.
    const auto held = static_cast<std::size_t>(receiver_.RxCount());
    const auto outcome = receiver_.OnByte(b);
    if (!outcome || outcome->kind == ReplyKind::ChecksumError) {
        return std::nullopt;
    }
    const std::uint8_t* frame = receiver_.RxBuffer();
    const std::size_t length = held + 1;
    const std::uint8_t command = frame[6];
    const std::uint8_t declared = frame[7];
    const auto expected = RequestPayloadLength(command);
    if (!expected || declared != *expected || length != kFrameOverhead + declared) {
        return std::nullopt;
    }
    Request r;
    std::copy(frame, frame + r.header.size(), r.header.begin());
    r.command = command;
    r.payload.assign(frame + 8, frame + 8 + declared);
    return r;
}

}  // namespace tovra::sim
