#pragma once

#include <chrono>
#include <thread>

namespace tovra::test {

// Polls pred until it holds or the (generous) deadline passes; asynchronous results are
// awaited this way so that a loaded machine only makes a test slower, never wrong.
template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) {
            return pred();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace tovra::test
