#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/message_target.h"

namespace tovra::testing {

// Collects posted notifications; tests wait for them with a generous deadline.
class RecordingTarget : public MessageTarget {
  public:
    struct Posted {
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back({message, wParam, lParam});
        }
        cv_.notify_all();
    }

    // Waits until at least count notifications arrived; returns what arrived.
    std::vector<Posted> WaitFor(std::size_t count,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, timeout, [&] { return posted_.size() >= count; });
        return posted_;
    }

    std::vector<Posted> Snapshot() {
        std::lock_guard lock(mutex_);
        return posted_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Posted> posted_;
};

}  // namespace tovra::testing
