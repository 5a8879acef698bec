// Channel logic shared by every backend: open order, chunked writing with bounded retries,
// reader start and stop. The OS-specific parts are the Os* members (cx_serial_<os>.cpp).
#include "serial/cx_serial.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>
#include <utility>

namespace tovra {

const char* SerialErrorKindName(SerialErrorKind kind) {
    switch (kind) {
        case SerialErrorKind::None:
            return "none";
        case SerialErrorKind::NotFound:
            return "not found";
        case SerialErrorKind::Busy:
            return "busy";
        case SerialErrorKind::PermissionDenied:
            return "permission denied";
        case SerialErrorKind::UnsupportedSetting:
            return "unsupported setting";
        case SerialErrorKind::IoError:
            return "I/O error";
        case SerialErrorKind::DeviceGone:
            return "device gone";
    }
    return "unknown";
}

unsigned ComPortNumber(const std::string& text) {
    // Windows device names are case-insensitive, so "com12" names port 12 as "COM12" does.
    const auto m = text.find_first_of("Mm");
    if (m == std::string::npos) {
        return 0;
    }
    unsigned long long n = 0;
    for (std::size_t i = m + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + static_cast<unsigned>(text[i] - '0');
        if (n > std::numeric_limits<unsigned>::max()) {
            return 0;  // wrapping would silently name some other, valid port
        }
    }
    return static_cast<unsigned>(n);
}

std::string ComPortDeviceName(unsigned n) {
    const std::string number = std::to_string(n);
    return n <= 9 ? "COM" + number : "\\\\.\\COM" + number;
}

bool CXSerial::IsOpen() const {
    return OsIsOpen();
}

bool CXSerial::Open(const std::string& port, unsigned baud, unsigned parity) {
    bool reader_running = false;
    {
        std::lock_guard lock(reader_mutex_);
        reader_running = !reader_ended_;
    }
    // A port whose reader ended (device gone) is reopened in full: reconfiguring the dead
    // handle would leave a channel that looks open and never receives.
    if (IsOpen() && port == port_ && reader_running) {
        parity_ = parity;
        return SetState(baud, parity);
    }
    parity_ = parity;
    return OpenPort(port, baud, parity);
}

bool CXSerial::OpenPort(const std::string& port, unsigned baud, unsigned parity) {
    Close();
    port_ = port;
    baud_ = baud;
    parity_ = parity;
    SetError(SerialErrorKind::None, {});
    {
        // Held so that a Write on another thread never sees a half-configured port.
        std::lock_guard lock(write_lock_);
        // OsOpen purges both directions; the reader never purges, so a Write issued right
        // after this returns cannot be aborted by the reader's start-up.
        if (!OsOpen(port)) {
            return false;
        }
        if (!OsConfigure(baud, parity)) {
            OsClose();
            return false;
        }
    }
    // An open port that never receives would look healthy while every reply is lost.
    if (!StartReader()) {
        SerialError why = LastError();
        if (why.kind == SerialErrorKind::None) {
            why = {SerialErrorKind::IoError, "Could not start reading from " + port + "."};
        }
        Close();
        SetError(why.kind, why.message);
        return false;
    }
    return true;
}

bool CXSerial::SetState(unsigned baud, unsigned parity) {
    if (!IsOpen()) {
        SetError(SerialErrorKind::IoError, "No port is open.");
        return false;
    }
    parity_ = parity;
    SetError(SerialErrorKind::None, {});
    std::lock_guard lock(write_lock_);
    return OsConfigure(baud, parity);
}

bool CXSerial::Close() {
    if (reader_.joinable() && reader_.get_id() == std::this_thread::get_id()) {
        // Misuse from OnByte/OnPortLost: the reader cannot join itself, and closing the
        // port under its feet would leave it reading a released handle. Only ask it to end.
        OsSignalStop();
        return true;
    }
    StopReader();
    std::lock_guard lock(write_lock_);  // a Write on another thread finishes first
    if (OsIsOpen()) {
        OsClose();
    }
    return true;
}

bool CXSerial::Write(const std::uint8_t* data, std::size_t length) {
    if (length == 0) {
        return true;
    }
    if (data == nullptr) {
        SetError(SerialErrorKind::IoError, "Nothing to write: no data was given.");
        return false;
    }
    std::lock_guard lock(write_lock_);
    std::size_t written = 0;
    int failures = 0;  // consecutive attempts that moved no byte
    while (written < length) {
        if (!OsIsOpen()) {
            SetError(SerialErrorKind::IoError, "The port is not open.");
            return false;
        }
        const std::size_t chunk = std::min(length - written, kChunkSize);
        std::size_t sent = 0;
        const IoResult result = OsWriteChunk(data + written, chunk, sent);
        // What went out counts exactly, even from an attempt that timed out or failed, so
        // the next attempt starts at the first unsent byte: nothing twice, nothing skipped.
        written += std::min(sent, chunk);
        if (result == IoResult::Gone) {
            return false;  // the backend said why
        }
        if (sent > 0) {
            failures = 0;  // a slow line that keeps taking bytes is not stuck
            if (result == IoResult::Ok) {
                continue;
            }
        }
        if (++failures >= kMaxChunkAttempts) {
            if (result != IoResult::Failed) {
                SetError(SerialErrorKind::IoError,
                         "Writing to " + port_ + " timed out: the device is not taking data.");
            }
            return false;
        }
    }
    return true;
}

bool CXSerial::StartReader() {
    if (!IsOpen()) {
        return false;
    }
    StopReader();  // std::thread must not be overwritten while it can still be joined
    if (!OsPrepareReader()) {
        OsReleaseReader();
        return false;
    }
    {
        std::lock_guard lock(reader_mutex_);
        reader_ended_ = false;
    }
    try {
        reader_ = std::thread(&CXSerial::ReaderMain, this);
    } catch (const std::system_error& e) {
        {
            std::lock_guard lock(reader_mutex_);
            reader_ended_ = true;
        }
        OsReleaseReader();
        SetError(SerialErrorKind::IoError,
                 std::string("Could not start the port's reader thread: ") + e.what());
        return false;
    }
    return true;
}

bool CXSerial::StopReader() {
    if (!reader_.joinable()) {
        return true;
    }
    if (reader_.get_id() == std::this_thread::get_id()) {
        OsSignalStop();
        return false;
    }
    OsSignalStop();
    {
        // An idle reader wakes on the stop at once; this only bounds the wait for a busy one.
        std::unique_lock lock(reader_mutex_);
        reader_ended_cv_.wait_for(lock, std::chrono::milliseconds(kReaderStopGraceMs),
                                  [this] { return reader_ended_; });
    }
    // Every wait in the reader is bounded or woken by the stop, so it always ends; joining
    // it means OnByte/OnPortLost can no longer run once this returns.
    reader_.join();
    OsReleaseReader();
    return true;
}

SerialError CXSerial::LastError() const {
    std::lock_guard lock(error_mutex_);
    return last_error_;
}

std::string CXSerial::PortName() const {
    return port_;
}

void CXSerial::ReaderMain() {
    const bool gone = OsReadLoop();
    if (gone) {
        OnPortLost();
    }
    {
        std::lock_guard lock(reader_mutex_);
        reader_ended_ = true;
    }
    reader_ended_cv_.notify_all();
}

void CXSerial::Deliver(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        OnByte(data[i]);
    }
}

void CXSerial::SetError(SerialErrorKind kind, std::string message) {
    std::lock_guard lock(error_mutex_);
    last_error_.kind = kind;
    last_error_.message = std::move(message);
}

}  // namespace tovra
