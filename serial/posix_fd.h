#pragma once

#include <unistd.h>

#include <atomic>

namespace tovra {

// Owns one file descriptor and closes it. The value is atomic because IsOpen may look at
// the port's descriptor from another thread while the owner closes it.
class PosixFd {
  public:
    PosixFd() = default;
    explicit PosixFd(int fd) : fd_(fd) {}
    ~PosixFd() { Reset(); }
    PosixFd(const PosixFd&) = delete;
    PosixFd& operator=(const PosixFd&) = delete;

    int Get() const { return fd_.load(); }
    bool Valid() const { return Get() >= 0; }
    int Release() { return fd_.exchange(-1); }
    void Reset(int fd = -1) {
        const int old = fd_.exchange(fd);
        if (old >= 0) {
            ::close(old);
        }
    }

  private:
    std::atomic<int> fd_{-1};
};

}  // namespace tovra
