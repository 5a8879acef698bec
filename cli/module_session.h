#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "cli/console.h"
#include "cli/notification_queue.h"
#include "link/qd_serial.h"
#include "protocol/module_settings.h"

namespace tovra::cli {

// The computer side of the line.
struct LineSettings {
    unsigned baud = 9600;
    unsigned parity = 0;  // 0 none, 1 odd, 2 even
};

// What a request is answered with, as far as the command cares.
enum class Expect {
    Settings,    // Read All: a reply carrying the settings block
    WriteReply,  // Write All: any good reply
    Version,     // a version request: a version reply
};

enum class Outcome {
    Settings,      // a good reply with the settings block
    Version,       // a good version reply
    Acknowledged,  // a good reply without settings
    ChecksumError,
    TimedOut,
    PortLost,
    SendFailed,
};

struct Reply {
    Outcome outcome = Outcome::TimedOut;
    ModuleSettings decoded{};  // the link's copy taken with the notification
    std::string detail;        // why sending failed
};

// One module on one port: owns the link and its notification queue, sends a request and
// waits for the reply that answers it.
class ModuleSession {
  public:
    ModuleSession(std::string port, Console& console, bool trace);
    ~ModuleSession();
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;

    // False with OpenError() saying why.
    bool Open(const LineSettings& line);
    bool SetLine(const LineSettings& line);
    std::string OpenError() const;
    const std::string& Port() const { return port_; }

    // Sends frame and waits up to timeout for a reply of the expected kind. Replies of
    // another kind (a late version reply to a Read All, say) are passed over.
    Reply Request(std::span<const std::uint8_t> frame, Expect expect,
                  std::chrono::milliseconds timeout);

  private:
    std::string port_;
    Console& console_;
    NotificationQueue queue_;
    QDSerial link_;  // declared last: closed first, while the queue still exists
    bool lost_ = false;
};

// A sentence for a failed reply: "no reply within 3 s", ...
std::string DescribeFailure(const Reply& reply, std::chrono::milliseconds timeout);

}  // namespace tovra::cli
