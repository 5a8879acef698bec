#include "cli/notification_queue.h"

namespace tovra::cli {

void NotificationQueue::Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
    if (message == 0 || message != message_) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        codes_.push_back(wParam);
    }
    cv_.notify_one();
}

std::optional<std::uintptr_t> NotificationQueue::WaitUntil(
    std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_until(lock, deadline, [this] { return !codes_.empty(); })) {
        return std::nullopt;
    }
    const std::uintptr_t code = codes_.front();
    codes_.pop_front();
    return code;
}

void NotificationQueue::Clear() {
    std::lock_guard lock(mutex_);
    codes_.clear();
}

}  // namespace tovra::cli
