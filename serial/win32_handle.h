#pragma once

#include <windows.h>

#include <utility>

namespace tovra {

// Owns one Win32 kernel handle. Both a null handle and INVALID_HANDLE_VALUE count as none,
// because CreateFile fails with the latter and CreateEvent with the former.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.h_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) {
            CloseHandle(h_);
        }
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

// A manual-reset event, created non-signalled; none if creation failed.
inline UniqueHandle MakeManualEvent() {
    return UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

}  // namespace tovra
