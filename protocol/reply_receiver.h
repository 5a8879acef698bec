#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "protocol/module_settings.h"

namespace tovra {

// How a reply frame ended; the values travel as a notification's wParam.
enum class ReplyKind : std::uint32_t {
    Good = 0,           // checksum matched; settings or version decoded
    ChecksumError = 1,  // checksum failed; nothing decoded
    Acknowledged = 2,   // checksum matched but the reply carried no settings block
};

// What a good frame carried.
enum class ReplyContent : std::uint8_t { None, Settings, Version };

struct ReplyOutcome {
    ReplyKind kind;
    ReplyContent content;
    bool operator==(const ReplyOutcome&) const = default;
};

// Reassembles reply frames from a byte stream: a frame starts at two consecutive 0xAF,
// ends at 0x0D 0x0A once at least 10 bytes are held, and is checked against the checksum
// at position 8 + L. Good frames update Decoded(); other outcomes leave it untouched.
class ReplyReceiver {
  public:
    static constexpr std::size_t kBufferSize = 1024;
    static constexpr int kMaxHeld = 512;  // a frame is abandoned beyond this

    // Feeds one byte; returns the outcome when a frame ended with it. Ordinary bytes
    // take the inline path; sync bytes, line feeds and limits go out of line.
    std::optional<ReplyOutcome> OnByte(std::uint8_t b) {
        if (b != 0xAF) {
            if (!in_frame_) {  // idle: everything but 0xAF is dropped
                sync_count_ = 0;
                return std::nullopt;
            }
            if (b != 0x0A && rx_count_ < kMaxHeld &&
                rx_count_ < rx_buffer_[7] + kLongestFrameHeld) {
                sync_count_ = 0;
                Append(b);
                return std::nullopt;
            }
        }
        return OnByteSlow(b);
    }
    // Back to idle; the buffer contents and decoded values stay.
    void Reset();

    const ModuleSettings& Decoded() const { return decoded_; }
    void ClearVersionReady() { decoded_.VersionReady = 0; }

    int RxCount() const { return rx_count_; }
    int SyncCount() const { return sync_count_; }
    bool InFrame() const { return in_frame_; }
    const std::uint8_t* RxBuffer() const { return rx_buffer_.data(); }

  private:
    // Bytes a frame may hold before a further ordinary byte abandons it: 11 + L + 4.
    static constexpr int kLongestFrameHeld = 15;

    std::optional<ReplyOutcome> OnByteSlow(std::uint8_t b);
    void Append(std::uint8_t b) { rx_buffer_[static_cast<std::size_t>(rx_count_++)] = b; }
    void ResetIfOverflowed();
    std::optional<ReplyOutcome> OnSync();
    std::optional<ReplyOutcome> OnLineFeed();
    ReplyOutcome CompleteFrame();

    std::array<std::uint8_t, kBufferSize> rx_buffer_{};
    int rx_count_ = 0;
    int sync_count_ = 0;
    bool in_frame_ = false;
    ModuleSettings decoded_{};
};

}  // namespace tovra
