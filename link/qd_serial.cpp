#include "link/qd_serial.h"

#include "protocol/frame.h"

namespace tovra {

QDSerial::QDSerial() = default;

// The reader must be stopped while this class's OnByte is still in force.
QDSerial::~QDSerial() {
    Close();
}

void QDSerial::SetNotifyTarget(MessageTarget* target, std::uint32_t message) {
    std::lock_guard lock(target_mutex_);
    target_ = target;
    message_ = message;
}

void QDSerial::SetFrameObserver(FrameObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

bool QDSerial::WriteFrame(std::span<const std::uint8_t> frame) {
    if (!IsOpen()) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        if (observer_) {
            observer_(Direction::Sent, frame);
        }
    }
    return Write(frame.data(), frame.size());
}

bool QDSerial::ReadAll() {
    const Frame23 frame = BuildReadAllFrame();
    return WriteFrame(frame);
}

bool QDSerial::WriteAll(const ModuleSettings* settings) {
    if (!IsOpen() || settings == nullptr) {
        return false;
    }
    const Frame23 frame = BuildWriteAllFrame(*settings);
    return WriteFrame(frame);
}

ModuleSettings QDSerial::Decoded() const {
    std::lock_guard lock(mutex_);
    return decoded_;
}

ModuleSettings QDSerial::TakeDecoded() {
    std::lock_guard lock(mutex_);
    ModuleSettings copy = decoded_;
    decoded_.VersionReady = 0;
    return copy;
}

void QDSerial::ClearVersionReady() {
    std::lock_guard lock(mutex_);
    decoded_.VersionReady = 0;
}

void QDSerial::OnByte(unsigned char b) {
    const int held = receiver_.RxCount();
    const auto outcome = receiver_.OnByte(b);
    if (!outcome) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (observer_) {
            // The completed frame is still in the buffer: what was held plus this byte.
            observer_(Direction::Received,
                      std::span<const std::uint8_t>(receiver_.RxBuffer(),
                                                    static_cast<std::size_t>(held) + 1));
        }
        const ModuleSettings& fresh = receiver_.Decoded();
        if (outcome->content == ReplyContent::Version) {
            decoded_.VersionCode = fresh.VersionCode;
            decoded_.VersionReady = 1;
        } else if (outcome->content == ReplyContent::Settings) {
            CopySettingsFields(fresh, decoded_);
        }
    }
    Notify(static_cast<std::uintptr_t>(outcome->kind));
}

void QDSerial::OnPortLost() {
    Notify(kNotifyPortLost);
}

// The values are published before this runs, so whoever the post wakes finds them.
void QDSerial::Notify(std::uintptr_t code) {
    std::lock_guard lock(target_mutex_);
    if (target_ != nullptr) {
        target_->Post(message_, code, 0);
    }
}

}  // namespace tovra
