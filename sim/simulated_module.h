#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/module_settings.h"

namespace tovra::sim {

// Faults the simulated module can be told to show; each is independent.
struct Faults {
    bool no_reply = false;          // swallow requests
    bool bad_checksum = false;      // corrupt the checksum of every reply
    int delay_ms = 0;               // wait before replying
    int split_gap_ms = -1;          // >= 0: send the reply one byte at a time with this gap
    std::size_t noise_bytes = 0;    // random non-frame bytes before each reply
    bool short_reply = false;       // answer settings requests with a reply of L < 12
    bool pace = false;              // hold each byte for its time on the wire at the line speed
    bool match_line = false;        // answer only when the line speed/parity match the module UART
    int lose_after = -1;            // >= 0: close the port after this many replies
};

// A radio module on a pseudo-terminal. The tool opens PortPath() (or the link) as the
// module's serial port. Runs on its own thread between Start and Stop.
class SimulatedModule {
public:
    explicit SimulatedModule(const ModuleSettings& initial, const Faults& faults = {});
    ~SimulatedModule();

    // Opens the pseudo-terminal and starts answering. With a non-empty link path, also
    // creates that symlink to the port (removed again by Stop).
    bool Start(const std::string& link_path = "");
    void Stop();

    std::string PortPath() const;  // e.g. /dev/pts/7
    std::string LinkPath() const;

    ModuleSettings Settings() const;
    void SetSettings(const ModuleSettings& s);
    void SetFaults(const Faults& f);

    std::vector<std::uint8_t> Received() const;  // every byte received so far
    std::size_t RequestsSeen() const;            // good requests
    std::size_t RepliesSent() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tovra::sim
