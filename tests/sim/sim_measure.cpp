// Prints the simulated module's costs: CPU while idle with and without the port open,
// request round trip, and how long Stop takes in the middle of a long reply delay.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "protocol/frame.h"
#include "protocol/units.h"
#include "sim/simulated_module.h"
#include "slave_port.h"

using namespace tovra;
using namespace tovra::sim;
using namespace tovra::sim::test;
using Clock = std::chrono::steady_clock;

namespace {
double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

double IdleCpuPercent(bool port_open) {
    SimulatedModule module(InitialWindowSettings());
    if (!module.Start()) {
        return -1;
    }
    {
        SlavePort once(module.PortPath());  // after a first close the master reports hang-ups
    }
    SlavePort port(module.PortPath());
    if (!port_open) {
        port.Close();
    }
    const double before = CpuMs();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return (CpuMs() - before) / 3000.0 * 100.0;
}

Bytes ReadAllBytes() {
    const auto f = BuildReadAllFrame();
    return Bytes(f.begin(), f.end());
}
}  // namespace

int main() {
    std::printf("idle CPU, port closed: %.3f %%\n", IdleCpuPercent(false));
    std::printf("idle CPU, port open:   %.3f %%\n", IdleCpuPercent(true));

    SimulatedModule module(InitialWindowSettings());
    module.Start();
    SlavePort port(module.PortPath());
    constexpr int kRounds = 500;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        port.Write(ReadAllBytes());
        if (!port.ReadReply().outcome) {
            std::printf("no reply\n");
            return 1;
        }
    }
    const double round_us =
        std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kRounds;
    std::printf("Read All round trip: %.1f us average over %d\n", round_us, kRounds);
    module.Stop();

    Faults f;
    f.delay_ms = 60'000;
    SimulatedModule slow(InitialWindowSettings(), f);
    slow.Start();
    SlavePort slow_port(slow.PortPath());
    slow_port.Write(ReadAllBytes());
    slow.WaitForRequests(1, std::chrono::seconds(5));
    const auto stop_start = Clock::now();
    slow.Stop();
    std::printf("Stop during a 60 s reply delay: %.2f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - stop_start).count());
    return 0;
}
