// Win32 backend of the serial channel: an exclusive overlapped port handle, chunk writes
// that are cancelled (never abandoned) on time-out, and a reader that sleeps in
// WaitCommEvent with the stop event, falling back to a gently paced poll of the input
// queue where WaitCommEvent does not work (Wine on a pseudo-terminal).
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "serial/cx_serial.h"
#include "serial/win32_dcb.h"
#include "serial/win32_error.h"
#include "serial/win32_handle.h"

namespace tovra {

struct CXSerial::Os {
    UniqueHandle port;
    std::string name;  // as the user gave it, for messages

    UniqueHandle write_event;
    OVERLAPPED write_ov{};

    // Reader only, from OsPrepareReader to OsReleaseReader.
    UniqueHandle stop_event;
    UniqueHandle read_event;
    UniqueHandle comm_event;
    OVERLAPPED read_ov{};
    OVERLAPPED comm_ov{};
    DWORD comm_mask = 0;  // written by a pending WaitCommEvent, so it lives here
    std::array<std::uint8_t, kChunkSize> buffer{};
};

CXSerial::CXSerial() : os_(std::make_unique<Os>()) {}

CXSerial::~CXSerial() {
    Close();
}

namespace {

// Between two looks at the input queue when WaitCommEvent cannot be used: bounded
// latency for the reply, and a thread that sleeps nearly all of the time.
constexpr DWORD kPollIntervalMs = 5;
// Pause after a failed read, so a port that keeps failing is not hammered.
constexpr DWORD kRetryPauseMs = 20;

constexpr unsigned kSpeeds[] = {1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool SupportedSpeed(unsigned baud) {
    for (unsigned s : kSpeeds) {
        if (s == baud) {
            return true;
        }
    }
    return false;
}

// "COM7" -> "COM7", "COM12" -> "\\.\COM12"; a name already in device form is kept.
// Empty when the text names no port.
std::string DevicePath(const std::string& port) {
    if (port.rfind("\\\\.\\", 0) == 0 && port.size() > 4) {
        return port;
    }
    const unsigned n = ComPortNumber(port);
    return n == 0 ? std::string() : ComPortDeviceName(n);
}

enum class Wait { Signalled, Stopped, TimedOut, Failed };

// Waits for an overlapped operation's event or the stop event; the stop wins a tie.
Wait WaitWithStop(HANDLE stop, HANDLE event, DWORD timeout_ms) {
    const HANDLE handles[2] = {stop, event};
    switch (WaitForMultipleObjects(2, handles, FALSE, timeout_ms)) {
        case WAIT_OBJECT_0:
            return Wait::Stopped;
        case WAIT_OBJECT_0 + 1:
            return Wait::Signalled;
        case WAIT_TIMEOUT:
            return Wait::TimedOut;
        default:
            return Wait::Failed;
    }
}

bool StopRequested(HANDLE stop) {
    return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// Cancels a pending operation and waits until the system is done with its OVERLAPPED
// record and buffer. Returns whether it completed after all (it may have finished just
// before the cancel); transferred is what it moved either way.
bool CancelAndSettle(HANDLE port, OVERLAPPED& ov, DWORD& transferred) {
    CancelIoEx(port, &ov);
    transferred = 0;
    const BOOL done = GetOverlappedResult(port, &ov, &transferred, TRUE);
    if (!done) {
        transferred = static_cast<DWORD>(ov.InternalHigh);
    }
    return done != FALSE;
}

void ResetOverlapped(OVERLAPPED& ov, HANDLE event) {
    ov = OVERLAPPED{};
    ov.hEvent = event;
}

}  // namespace

bool CXSerial::OsOpen(const std::string& port) {
    Os& os = *os_;
    os.name = port;
    const std::string path = DevicePath(port);
    if (path.empty()) {
        SetError(SerialErrorKind::NotFound,
                 "\"" + port + "\" is not a serial port name; use COM1 to COM255.");
        return false;
    }
    // No sharing: a port open here cannot be opened by another program, and vice versa.
    UniqueHandle handle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED,
                                    nullptr));
    if (!handle.Valid()) {
        const SerialError e = Win32Failure(Win32Stage::Open, GetLastError(), port, "Opening");
        SetError(e.kind, e.message);
        return false;
    }
    const HANDLE h = handle.Get();
    // The only purge: before the reader starts, so it cannot abort a Write that follows.
    PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

    // All time-outs zero: a read waits for its full count, so the reader only asks for
    // bytes already queued; writes are bounded by the chunk wait instead.
    COMMTIMEOUTS timeouts{};
    const char* failed = nullptr;
    // The reader waits for received characters only; other line events would only wake it.
    if (!SetCommMask(h, EV_RXCHAR)) {
        failed = "Setting the event mask of";
    } else if (!SetCommTimeouts(h, &timeouts)) {
        failed = "Setting the time-outs of";
    } else if (!SetupComm(h, kChunkSize, kChunkSize)) {
        failed = "Setting the queue sizes of";
    }
    if (failed != nullptr) {
        const SerialError e = Win32Failure(Win32Stage::Configure, GetLastError(), port, failed);
        SetError(e.kind, e.message);
        return false;
    }
    UniqueHandle write_event = MakeManualEvent();
    if (!write_event.Valid()) {
        const SerialError e =
            Win32Failure(Win32Stage::Open, GetLastError(), port, "Creating the write event of");
        SetError(SerialErrorKind::IoError, e.message);
        return false;
    }
    os.write_event = std::move(write_event);
    ResetOverlapped(os.write_ov, os.write_event.Get());
    os.port = std::move(handle);
    return true;
}

bool CXSerial::OsConfigure(unsigned baud, unsigned parity) {
    Os& os = *os_;
    if (!SupportedSpeed(baud)) {
        SetError(SerialErrorKind::UnsupportedSetting,
                 "Speed " + std::to_string(baud) + " is not supported; choose 1200 to 115200.");
        return false;
    }
    if (parity > 2) {
        SetError(SerialErrorKind::UnsupportedSetting,
                 "Parity " + std::to_string(parity) + " is not supported; use none, odd or even.");
        return false;
    }
    DCB dcb = MakeDeviceControl(baud, parity);
    if (!SetCommState(os.port.Get(), &dcb)) {
        const SerialError e =
            Win32Failure(Win32Stage::Configure, GetLastError(), os.name, "Setting up");
        SetError(e.kind, e.message);
        return false;
    }
    return true;
}

void CXSerial::OsClose() {
    Os& os = *os_;
    os.port.Reset();
    os.write_event.Reset();
    os.write_ov = OVERLAPPED{};
}

bool CXSerial::OsIsOpen() const {
    return os_->port.Valid();
}

CXSerial::IoResult CXSerial::OsWriteChunk(const std::uint8_t* data, std::size_t size,
                                          std::size_t& sent) {
    Os& os = *os_;
    const HANDLE port = os.port.Get();
    sent = 0;
    const auto fail = [&](DWORD code) {
        const SerialError e = Win32Failure(Win32Stage::Transfer, code, os.name, "Writing to");
        SetError(e.kind, e.message);
        return e.kind == SerialErrorKind::DeviceGone ? IoResult::Gone : IoResult::Failed;
    };

    // Clears a pending line error; with abort-on-error off it cannot block the write, so
    // its result does not matter.
    DWORD line_errors = 0;
    COMSTAT status{};
    ClearCommError(port, &line_errors, &status);

    ResetOverlapped(os.write_ov, os.write_event.Get());
    DWORD n = 0;
    if (WriteFile(port, data, static_cast<DWORD>(size), &n, &os.write_ov)) {
        sent = n;
        return IoResult::Ok;
    }
    const DWORD err = GetLastError();
    if (err != ERROR_IO_PENDING) {
        return fail(err);
    }
    if (WaitForSingleObject(os.write_event.Get(), kChunkTimeoutMs) == WAIT_OBJECT_0) {
        if (GetOverlappedResult(port, &os.write_ov, &n, FALSE)) {
            sent = n;
            return IoResult::Ok;
        }
        const DWORD code = GetLastError();
        sent = static_cast<DWORD>(os.write_ov.InternalHigh);
        return fail(code);
    }
    // Timed out. The write must be over before its record is reused or its bytes sent
    // again; what it moved before the cancel counts, so the retry starts after it. No
    // output purge: it could drop bytes already counted as sent.
    if (CancelAndSettle(port, os.write_ov, n)) {
        sent = n;
        return n == size ? IoResult::Ok : IoResult::TimedOut;
    }
    const DWORD code = GetLastError();
    sent = n;
    return code == ERROR_OPERATION_ABORTED ? IoResult::TimedOut : fail(code);
}

bool CXSerial::OsPrepareReader() {
    Os& os = *os_;
    os.stop_event = MakeManualEvent();
    os.read_event = MakeManualEvent();
    os.comm_event = MakeManualEvent();
    if (!os.stop_event.Valid() || !os.read_event.Valid() || !os.comm_event.Valid()) {
        const SerialError e = Win32Failure(Win32Stage::Open, GetLastError(), os.name,
                                           "Creating the reader's events for");
        SetError(SerialErrorKind::IoError, e.message);
        return false;
    }
    ResetOverlapped(os.read_ov, os.read_event.Get());
    ResetOverlapped(os.comm_ov, os.comm_event.Get());
    return true;
}

void CXSerial::OsSignalStop() {
    if (os_->stop_event.Valid()) {
        SetEvent(os_->stop_event.Get());
    }
}

bool CXSerial::OsReadLoop() {
    Os& os = *os_;
    const HANDLE port = os.port.Get();
    const HANDLE stop = os.stop_event.Get();
    const auto lost = [&](DWORD code, const char* action) {
        SerialError e = Win32Failure(Win32Stage::Transfer, code, os.name, action);
        if (e.kind != SerialErrorKind::DeviceGone) {
            e.message = "Reading stopped. " + e.message;
        }
        SetError(e.kind, e.message);
        return true;
    };

    bool polling = false;  // set once WaitCommEvent has been seen not to work
    int failures = 0;      // consecutive reads that failed without a verdict
    for (;;) {
        if (StopRequested(stop)) {
            return false;
        }
        // The queue count of a failed status call is never used: the port is gone.
        DWORD line_errors = 0;
        COMSTAT status{};
        if (!ClearCommError(port, &line_errors, &status)) {
            return lost(GetLastError(), "Reading the status of");
        }
        const DWORD queued = status.cbInQue;

        if (queued == 0) {
            if (polling) {
                if (WaitForSingleObject(stop, kPollIntervalMs) == WAIT_OBJECT_0) {
                    return false;
                }
                continue;
            }
            ResetOverlapped(os.comm_ov, os.comm_event.Get());
            os.comm_mask = 0;
            DWORD dummy = 0;
            BOOL ok = WaitCommEvent(port, &os.comm_mask, &os.comm_ov);
            DWORD code = ok ? ERROR_SUCCESS : GetLastError();
            if (!ok && code == ERROR_IO_PENDING) {
                const Wait w = WaitWithStop(stop, os.comm_event.Get(), INFINITE);
                if (w != Wait::Signalled) {
                    const DWORD wait_error = GetLastError();
                    CancelAndSettle(port, os.comm_ov, dummy);
                    if (w == Wait::Stopped) {
                        return false;
                    }
                    return lost(wait_error, "Waiting for data from");
                }
                ok = GetOverlappedResult(port, &os.comm_ov, &dummy, FALSE);
                code = ok ? ERROR_SUCCESS : GetLastError();
            }
            if (!ok) {
                // Wine ends the wait at once with ERROR_OPERATION_ABORTED on a
                // pseudo-terminal, yet its queue count works: poll that instead. A status
                // call that fails too means the device is gone.
                if (!ClearCommError(port, &line_errors, &status)) {
                    return lost(GetLastError(), "Reading the status of");
                }
                polling = true;
            }
            continue;
        }

        // Ask only for what is queued, so that with zero time-outs the read completes now.
        const DWORD want = queued < kChunkSize ? queued : static_cast<DWORD>(kChunkSize);
        ResetOverlapped(os.read_ov, os.read_event.Get());
        DWORD got = 0;
        BOOL ok = ReadFile(port, os.buffer.data(), want, &got, &os.read_ov);
        DWORD code = ok ? ERROR_SUCCESS : GetLastError();
        bool stopped = false;
        if (!ok && code == ERROR_IO_PENDING) {
            const Wait w = WaitWithStop(stop, os.read_event.Get(), kChunkTimeoutMs);
            if (w == Wait::Signalled) {
                ok = GetOverlappedResult(port, &os.read_ov, &got, FALSE);
                code = ok ? ERROR_SUCCESS : GetLastError();
                if (!ok) {
                    got = static_cast<DWORD>(os.read_ov.InternalHigh);
                }
            } else {
                // Stop, time-out or a failed wait: cancel before the buffer is touched
                // again. Bytes the read took from the queue are delivered, not dropped.
                ok = CancelAndSettle(port, os.read_ov, got) ? TRUE : FALSE;
                code = ok ? ERROR_SUCCESS : GetLastError();
                if (code == ERROR_OPERATION_ABORTED) {
                    ok = TRUE;  // our own cancel
                }
                stopped = w == Wait::Stopped;
            }
        }
        if (got > 0) {
            Deliver(os.buffer.data(), got);
        }
        if (stopped) {
            return false;
        }
        if (ok) {
            failures = 0;
            continue;
        }
        if (IsDeviceGoneError(code)) {
            return lost(code, "Reading from");
        }
        if (++failures >= kMaxChunkAttempts) {
            return lost(code, "Reading from");
        }
        if (WaitForSingleObject(stop, kRetryPauseMs) == WAIT_OBJECT_0) {
            return false;
        }
    }
}

void CXSerial::OsReleaseReader() {
    Os& os = *os_;
    os.stop_event.Reset();
    os.read_event.Reset();
    os.comm_event.Reset();
    os.read_ov = OVERLAPPED{};
    os.comm_ov = OVERLAPPED{};
}

}  // namespace tovra
