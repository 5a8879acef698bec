#pragma once

#include <chrono>
#include <cstddef>

#include "bench/reply_waiter.h"
#include "link/qd_serial.h"
#include "sim/simulated_module.h"

namespace tovra::bench {

// How long a benchmark waits for a reply that must come; only a broken link takes this.
inline constexpr std::chrono::milliseconds kReplyDeadline{10000};

// The link opened on a simulated module in this process, as the window holds it.
class LinkOnModule {
  public:
    explicit LinkOnModule(const sim::Faults& faults = {});

    bool Ok() const { return ok_; }
    // Read All, then wait for its notification; false on a lost or bad reply.
    bool ReadAllRoundTrip();
    QDSerial& Link() { return link_; }
    sim::SimulatedModule& Module() { return module_; }

  private:
    sim::SimulatedModule module_;
    ReplyWaiter waiter_;
    QDSerial link_;  // last: closed before what it posts to goes away
    bool ok_ = false;
};

}  // namespace tovra::bench
