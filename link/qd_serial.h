#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>

#include "link/message_target.h"
#include "protocol/module_settings.h"
#include "protocol/reply_receiver.h"
#include "serial/cx_serial.h"

namespace tovra {

// The serial channel specialised for the radio module: sends Read All and Write All,
// reassembles replies on the reader thread and posts a notification for each one.
//
// Decoded values are published under a lock: a notification's reader takes a copy
// (Decoded or TakeDecoded), so a reply arriving meanwhile cannot mix into it.
class QDSerial : public CXSerial {
  public:
    enum class Direction { Sent, Received };
    // Sees every request written and every complete reply frame received (for tracing).
    // Called on the writing thread or on the reader thread; must not block.
    using FrameObserver = std::function<void(Direction, std::span<const std::uint8_t>)>;

    QDSerial();
    ~QDSerial();

    void SetNotifyTarget(MessageTarget* target, std::uint32_t message);
    void SetFrameObserver(FrameObserver observer);  // set before opening

    bool ReadAll();
    bool WriteAll(const ModuleSettings* settings);
    bool WriteFrame(std::span<const std::uint8_t> frame);  // Write, with the observer told

    // A copy of the last decoded settings and version value.
    ModuleSettings Decoded() const;
    // The same copy, clearing VersionReady in the link: a window takes the version once.
    ModuleSettings TakeDecoded();
    void ClearVersionReady();

  protected:
    void OnByte(unsigned char b) override;
    void OnPortLost() override;

  private:
    void Notify(std::uintptr_t code);

    ReplyReceiver receiver_;  // reader thread only

    mutable std::mutex mutex_;  // guards decoded_ and observer_
    ModuleSettings decoded_{};
    FrameObserver observer_;

    // Held while posting, so that once SetNotifyTarget returns the old target gets no more
    // posts. Separate from mutex_: a notified thread that at once reads the values or sends
    // the next request must not find the reader still holding the lock it needs.
    std::mutex target_mutex_;
    MessageTarget* target_ = nullptr;
    std::uint32_t message_ = 0;
};

}  // namespace tovra
