#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

#include "bench/reply_waiter.h"
#include "bench/soak_plan.h"
#include "bench/soak_report.h"
#include "link/qd_serial.h"
#include "sim/simulated_module.h"

namespace tovra::bench {

// The first port is lost after this many cycles, every later one after kLossInterval, so
// that even a short run loses a port with cycles left to run on the new one.
inline constexpr int kFirstLoss = 500;
inline constexpr int kLossInterval = 1000;

// Request/reply cycles through QDSerial against the simulated module in this process.
class SoakRun {
  public:
    explicit SoakRun(unsigned seed);
    SoakReport Run(int cycles);

  private:
    bool Send(const CyclePlan& plan);
    void Cycle(const CyclePlan& plan, SoakReport& report);
    void CheckGood(const CyclePlan& plan, SoakReport& report);
    void LoseAndReopen(SoakReport& report);
    // The next notification not yet looked at; false when none came in time.
    bool NextNotice(std::uintptr_t& code);
    void Fail(SoakReport& report, const std::string& what);

    std::mt19937 rng_;
    unsigned seed_;
    sim::SimulatedModule module_;
    ReplyWaiter waiter_;
    QDSerial link_;             // after the waiter: closed before what it posts to goes away
    std::uint8_t version_ = 0;  // what the module holds
    int lose_after_ = kFirstLoss;
    int port_cycles_ = 0;
    int cycle_ = 0;
};

}  // namespace tovra::bench
