#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "link/message_target.h"

namespace tovra::cli {

// The link's notifications for one port, queued for the command's thread to wait on.
class NotificationQueue : public MessageTarget {
  public:
    explicit NotificationQueue(std::uint32_t message) : message_(message) {}

    // Any thread; only takes a short lock.
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // The next notification's wParam, or nothing once the deadline has passed.
    std::optional<std::uintptr_t> WaitUntil(std::chrono::steady_clock::time_point deadline);
    void Clear();

  private:
    const std::uint32_t message_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::uintptr_t> codes_;
};

}  // namespace tovra::cli
