#include "protocol/reply_receiver.h"

#include "protocol/frame.h"

namespace tovra {

namespace {
constexpr std::uint8_t kSync = 0xAF;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
}  // namespace

void ReplyReceiver::Reset() {
    rx_count_ = 0;
    sync_count_ = 0;
    in_frame_ = false;
}

void ReplyReceiver::ResetIfOverflowed() {
    if (rx_count_ > kMaxHeld) {
        Reset();
    }
}

std::optional<ReplyOutcome> ReplyReceiver::OnByteSlow(std::uint8_t b) {
    if (b == kSync) {
        return OnSync();
    }
    if (b == kLf) {
        return OnLineFeed();
    }
    sync_count_ = 0;
    if (!in_frame_) {
        Reset();
        return std::nullopt;
    }
    Append(b);
    ResetIfOverflowed();
    // Abandon a frame that has run more than four bytes past its declared 11 + L.
    if (rx_count_ >= 16 && rx_count_ > rx_buffer_[7] + kLongestFrameHeld) {
        Reset();
    }
    return std::nullopt;
}

std::optional<ReplyOutcome> ReplyReceiver::OnSync() {
    if (++sync_count_ == 2) {
        // Two in a row start a new frame, discarding whatever was being assembled.
        sync_count_ = 0;
        rx_buffer_[0] = kSync;
        rx_buffer_[1] = kSync;
        rx_count_ = 2;
        in_frame_ = true;
        return std::nullopt;
    }
    if (in_frame_) {
        Append(kSync);
        ResetIfOverflowed();
    }
    return std::nullopt;
}

std::optional<ReplyOutcome> ReplyReceiver::OnLineFeed() {
    sync_count_ = 0;
    if (!in_frame_) {
        Reset();
        return std::nullopt;
    }
    Append(kLf);
    if (rx_count_ >= 10 && rx_buffer_[static_cast<std::size_t>(rx_count_ - 2)] == kCr) {
        const ReplyOutcome outcome = CompleteFrame();
        Reset();
        return outcome;
    }
    ResetIfOverflowed();
    return std::nullopt;
}

ReplyOutcome ReplyReceiver::CompleteFrame() {
    const int length = rx_buffer_[7];
    const int checksum_at = 8 + length;
    // A frame that ended before its checksum position would be checked against bytes
    // left over from an earlier frame; it cannot be trusted.
    if (checksum_at > rx_count_ - 3 ||
        FrameChecksum(rx_buffer_.data(), static_cast<std::size_t>(checksum_at)) !=
            rx_buffer_[static_cast<std::size_t>(checksum_at)]) {
        return {ReplyKind::ChecksumError, ReplyContent::None};
    }
    const std::uint8_t command = rx_buffer_[6];
    if (command == kCmdVersionWrite || command == kCmdVersionRead) {
        decoded_.VersionReady = 1;
        decoded_.VersionCode = rx_buffer_[8];
        return {ReplyKind::Good, ReplyContent::Version};
    }
    if (length < static_cast<int>(kSettingsBlockSize)) {
        return {ReplyKind::Acknowledged, ReplyContent::None};
    }
    DecodeSettingsBlock(rx_buffer_.data() + 8, decoded_);
    return {ReplyKind::Good, ReplyContent::Settings};
}

}  // namespace tovra
