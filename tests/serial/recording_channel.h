#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "serial/cx_serial.h"

namespace tovra::test {

// A channel that keeps what its hooks saw, for tests to inspect from their own thread.
class RecordingChannel : public CXSerial {
  public:
    ~RecordingChannel() { Close(); }

    std::vector<std::uint8_t> Bytes() const {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::size_t ByteCount() const {
        std::lock_guard lock(mutex_);
        return bytes_.size();
    }
    std::thread::id ReaderThread() const {
        std::lock_guard lock(mutex_);
        return reader_thread_;
    }
    int PortLostCount() const { return port_lost_.load(); }
    std::size_t BytesAfterPortLost() const { return bytes_after_lost_.load(); }

  protected:
    void OnByte(unsigned char b) override {
        std::lock_guard lock(mutex_);
        bytes_.push_back(b);
        reader_thread_ = std::this_thread::get_id();
        if (port_lost_.load() > 0) {
            ++bytes_after_lost_;
        }
    }
    void OnPortLost() override { ++port_lost_; }

  private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> bytes_;
    std::thread::id reader_thread_;
    std::atomic<int> port_lost_{0};
    std::atomic<std::size_t> bytes_after_lost_{0};
};

}  // namespace tovra::test
