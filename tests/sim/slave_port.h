#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/reply_receiver.h"
#include "sim/line_setting.h"

namespace tovra::sim::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// "AF AF 00 ..." to bytes.
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);

// Generous, for a loaded machine: how long a test waits for something that must come.
inline constexpr std::chrono::milliseconds kArrival = 5000ms;
// How long a test listens for something that must not come.
inline constexpr std::chrono::milliseconds kSilence = 300ms;

// The tool's end of the line: the pty slave opened raw, as a serial port would be, with
// a reply receiver of its own that keeps its state from one reply to the next.
class SlavePort {
  public:
    explicit SlavePort(const std::string& path, unsigned baud = 9600,
                       LineParity parity = LineParity::None);
    ~SlavePort();
    SlavePort(const SlavePort&) = delete;
    SlavePort& operator=(const SlavePort&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close();
    // Parity goes in as a serial port sets it: PARENB (with PARODD for odd) and INPCK.
    bool SetLine(unsigned baud, LineParity parity);
    bool Write(const Bytes& bytes);

    struct Reply {
        std::optional<ReplyOutcome> outcome;  // nothing: the deadline passed first
        Bytes bytes;                          // the bytes up to the end of the frame
        int reads = 0;                        // how many reads delivered them
        ModuleSettings decoded;               // the receiver's fields afterwards
    };
    // Reads until the receiver reports a frame or the timeout passes.
    Reply ReadReply(std::chrono::milliseconds timeout = kArrival);
    // True when no byte at all arrives within the window.
    bool Silent(std::chrono::milliseconds window = kSilence);
    // True once the line is hung up (poll reports POLLHUP, or a read gives end of file or
    // EIO) within the timeout. Bytes read meanwhile are dropped.
    bool WaitHangup(std::chrono::milliseconds timeout = kArrival);

  private:
    int fd_ = -1;
    ReplyReceiver receiver_;
    Bytes unread_;  // read after the end of the last reply
};

}  // namespace tovra::sim::test
