#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "link/message_target.h"

namespace tovra::bench {

// Receives the link's notifications and hands their codes (wParam) to the requesting
// thread in arrival order. Holds only codes not yet taken, so a long run does not grow it.
class ReplyWaiter : public MessageTarget {
  public:
    void Post(std::uint32_t, std::uintptr_t wParam, std::intptr_t) override {
        {
            std::lock_guard lock(mutex_);
            pending_.push_back(wParam);
        }
        cv_.notify_one();
    }

    // The next code, waiting at most deadline for it.
    std::optional<std::uintptr_t> Next(std::chrono::milliseconds deadline) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, deadline, [&] { return !pending_.empty(); })) {
            return std::nullopt;
        }
        const std::uintptr_t code = pending_.front();
        pending_.pop_front();
        return code;
    }

    std::size_t Pending() {
        std::lock_guard lock(mutex_);
        return pending_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::uintptr_t> pending_;
};

}  // namespace tovra::bench
