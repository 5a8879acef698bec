// Feeds arbitrary byte streams to the reply receiver and checks its invariants after
// every byte: it never holds more than 513 bytes, decoded values change only when a good
// frame is reported, and a good settings report decodes exactly the frame's bytes 8..19.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/frame.h"
#include "protocol/reply_receiver.h"

namespace {
[[noreturn]] void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "invariant broken at byte %zu: %s\n", at, what);
    std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tovra::ReplyReceiver rx;
    for (std::size_t i = 0; i < size; ++i) {
        const int held = rx.RxCount();
        const tovra::ModuleSettings before = rx.Decoded();
        const auto outcome = rx.OnByte(data[i]);
        const tovra::ModuleSettings& after = rx.Decoded();

        if (rx.RxCount() < 0 || rx.RxCount() > tovra::ReplyReceiver::kMaxHeld + 1) {
            Fail("holds more than 513 bytes", i);
        }
        const bool good = outcome && outcome->kind == tovra::ReplyKind::Good;
        if (!good && !(after == before)) {
            Fail("decoded values changed without a good frame", i);
        }
        if (!good) {
            continue;
        }
        // The frame is the last held + 1 bytes of the stream.
        const std::size_t length = static_cast<std::size_t>(held) + 1;
        if (length > i + 1 || length < 10) {
            Fail("good frame longer than the stream or too short", i);
        }
        const std::uint8_t* frame = data + (i + 1 - length);
        if (frame[0] != 0xAF || frame[1] != 0xAF || frame[length - 2] != 0x0D) {
            Fail("good frame does not start with AF AF or end with 0D 0A", i);
        }
        const std::size_t l = frame[7];
        if (8 + l > length - 3) {
            Fail("checksum position beyond the received frame", i);
        }
        if (tovra::FrameChecksum(frame, 8 + l) != frame[8 + l]) {
            Fail("good frame with a wrong checksum", i);
        }
        if (outcome->content == tovra::ReplyContent::Settings) {
            if (l < tovra::kSettingsBlockSize) {
                Fail("settings decoded from a short payload", i);
            }
            tovra::ModuleSettings expected = before;
            tovra::DecodeSettingsBlock(frame + 8, expected);
            if (!(after == expected)) {
                Fail("settings differ from frame bytes 8..19", i);
            }
        } else if (outcome->content == tovra::ReplyContent::Version) {
            if (after.VersionReady != 1 || after.VersionCode != frame[8]) {
                Fail("version reply not decoded from byte 8", i);
            }
            tovra::ModuleSettings settings_only = after;
            settings_only.VersionCode = before.VersionCode;
            settings_only.VersionReady = before.VersionReady;
            if (!(settings_only == before)) {
                Fail("version reply changed a settings field", i);
            }
        } else {
            Fail("good frame with no content", i);
        }
    }
    return 0;
}
