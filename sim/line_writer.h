#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/pty_master.h"
#include "sim/stop_signal.h"

namespace tovra::sim {

// When the bytes of one reply go out.
struct SendTiming {
    std::chrono::milliseconds delay{0};     // before the first byte
    int split_gap_ms = -1;                  // >= 0: one byte at a time, this far apart
    std::chrono::nanoseconds byte_time{0};  // > 0: each byte after its time on the wire
};

enum class Sent { Done, Failed, Stopped };

// Puts reply bytes on the module's end of the line with a line's timing. Every wait ends
// at once when the stop signal is raised.
class LineWriter {
  public:
    LineWriter(const PtyMaster& pty, const StopSignal& stop) : pty_(pty), stop_(stop) {}

    // before_last runs just before the last byte is handed over. Failed: the line would
    // not take the bytes (the reply is lost, as on a line with no one listening).
    Sent Send(const std::vector<std::uint8_t>& bytes, const SendTiming& timing,
              const std::function<void()>& before_last);

    // Waits (at most a few seconds) until the tool has read what was sent; false when
    // stopped meanwhile.
    bool WaitDelivered();

  private:
    Sent WriteAll(const std::uint8_t* data, std::size_t n);

    const PtyMaster& pty_;
    const StopSignal& stop_;
};

}  // namespace tovra::sim
