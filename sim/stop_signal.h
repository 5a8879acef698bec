#pragma once

#include <chrono>

#include "sim/unique_fd.h"

namespace tovra::sim {

// A pipe that one thread raises to end another thread's waits. Every wait of the worker
// goes through here or polls Fd(), so a stop request interrupts it at once.
class StopSignal {
  public:
    using Clock = std::chrono::steady_clock;

    StopSignal();
    bool Valid() const { return read_.Valid() && write_.Valid(); }
    int Fd() const { return read_.Get(); }

    void Raise();
    // Back to the lowered state; only while no thread waits on it.
    void Lower();
    bool Raised() const;
    // Waits until the deadline or a raise; true when raised.
    bool WaitUntil(Clock::time_point deadline) const;
    bool WaitFor(std::chrono::nanoseconds timeout) const {
        return WaitUntil(Clock::now() + timeout);
    }

  private:
    UniqueFd read_;
    UniqueFd write_;
};

}  // namespace tovra::sim
