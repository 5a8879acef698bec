// In-process figures of the link over pseudo-terminals: Read All round trip against the
// simulated module next to the bare floor, the same paced at 9600 baud, CPU of an idle
// open port, Close with an idle reader, and port listing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/floor_echo.h"
#include "bench/link_on_module.h"
#include "bench/process_stats.h"
#include "bench/samples.h"
#include "protocol/frame.h"
#include "serial/port_list.h"

namespace {

using Clock = std::chrono::steady_clock;
using tovra::bench::LinkOnModule;
using tovra::bench::Quantile;

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void ReportLatency(benchmark::State& state, const std::vector<double>& us) {
    state.counters["median_us"] = Quantile(us, 0.5);
    state.counters["p99_us"] = Quantile(us, 0.99);
}

// Bare system calls: write the 23 Read All bytes to a pty, read 23 back from an echo peer.
void BM_FloorRoundTrip(benchmark::State& state) {
    tovra_floor floor{};
    if (tovra_floor_open(&floor) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const tovra::Frame23 request = tovra::BuildReadAllFrame();
    unsigned char reply[tovra::kSettingsFrameSize];
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        if (tovra_floor_round_trip(&floor, request.data(), reply, sizeof reply) != 0) {
            state.SkipWithError("echo failed");
            break;
        }
        us.push_back(Micros(Clock::now() - start));
    }
    tovra_floor_close(&floor);
    ReportLatency(state, us);
}

// The floor again, with a reader thread that wakes the requester: what any design with a
// reader thread pays at least.
void BM_ThreadedFloorRoundTrip(benchmark::State& state) {
    tovra_threaded_floor floor{};
    if (tovra_threaded_floor_open(&floor) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const tovra::Frame23 request = tovra::BuildReadAllFrame();
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        if (tovra_threaded_floor_round_trip(&floor, request.data(), request.size()) != 0) {
            state.SkipWithError("echo failed");
            break;
        }
        us.push_back(Micros(Clock::now() - start));
    }
    tovra_threaded_floor_close(&floor);
    ReportLatency(state, us);
}

// QDSerial against the floor's echo peer: the echoed Read All is itself a good frame, so
// this is the link's cost without the module's.
void BM_LinkEchoRoundTrip(benchmark::State& state) {
    tovra_floor floor{};
    char path[128] = {};
    if (tovra_floor_open(&floor) != 0 || ::ttyname_r(floor.slave, path, sizeof path) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::vector<double> us;
    {
        tovra::bench::ReplyWaiter waiter;
        tovra::QDSerial link;
        link.SetNotifyTarget(&waiter, 1);
        if (!link.Open(path, 9600, 0)) {
            state.SkipWithError("open failed");
        } else {
            us.reserve(static_cast<std::size_t>(state.max_iterations));
            for (auto _ : state) {
                const auto start = Clock::now();
                if (!link.ReadAll() ||
                    waiter.Next(tovra::bench::kReplyDeadline) != tovra::kNotifyGood) {
                    state.SkipWithError("echo lost");
                    break;
                }
                us.push_back(Micros(Clock::now() - start));
            }
        }
    }
    tovra_floor_close(&floor);
    ReportLatency(state, us);
}

// Read All through QDSerial against the simulated module, to the reply's notification.
void BM_ReadAllRoundTrip(benchmark::State& state) {
    LinkOnModule rig;
    if (!rig.Ok() || !rig.ReadAllRoundTrip()) {
        state.SkipWithError("no link to the simulated module");
        return;
    }
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!rig.ReadAllRoundTrip()) {
            state.SkipWithError("reply lost");
            break;
        }
        us.push_back(Micros(Clock::now() - start));
    }
    ReportLatency(state, us);
}

// The same with the module holding each reply byte for its time on a 9600-baud wire.
void BM_PacedReadAllRoundTrip(benchmark::State& state) {
    tovra::sim::Faults faults;
    faults.pace = true;
    LinkOnModule rig(faults);
    if (!rig.Ok() || !rig.ReadAllRoundTrip()) {
        state.SkipWithError("no link to the simulated module");
        return;
    }
    std::vector<double> us;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!rig.ReadAllRoundTrip()) {
            state.SkipWithError("reply lost");
            break;
        }
        us.push_back(Micros(Clock::now() - start));
    }
    ReportLatency(state, us);
    // What the pty actually paces: the 23 reply bytes at 10 bits each; the request
    // crosses the pseudo-terminal at once.
    state.counters["paced_wire_us"] = 23 * 10 * 1e6 / 9600.0;
}

int IdleSeconds() {
    const char* text = std::getenv("TOVRA_BENCH_IDLE_SECONDS");
    const int s = text != nullptr ? std::atoi(text) : 0;
    return s > 0 ? s : 10;
}

// CPU of the whole process (link and module, both idle) with the port open and quiet.
void BM_IdleOpenPortCpu(benchmark::State& state) {
    LinkOnModule rig;
    if (!rig.Ok() || !rig.ReadAllRoundTrip()) {
        state.SkipWithError("no link to the simulated module");
        return;
    }
    const int seconds = IdleSeconds();
    double percent = 0.0;
    for (auto _ : state) {
        const double cpu0 = tovra::bench::ProcessCpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = tovra::bench::ProcessCpuSeconds() - cpu0;
        percent = cpu / wall * 100.0;
        state.SetIterationTime(wall);
        state.counters["cpu_ms"] = cpu * 1e3;
    }
    state.counters["cpu_percent"] = percent;
}

// Close of an open port whose reader is waiting for bytes.
void BM_CloseIdleReader(benchmark::State& state) {
    tovra::sim::SimulatedModule module(tovra::ModuleSettings{});
    if (!module.Start()) {
        state.SkipWithError("no simulated module");
        return;
    }
    tovra::QDSerial link;
    std::vector<double> us;
    for (auto _ : state) {
        if (!link.Open(module.PortPath(), 9600, 0)) {
            state.SkipWithError("open failed");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // reader settles in its wait
        const auto start = Clock::now();
        link.Close();
        const auto took = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        us.push_back(Micros(took));
    }
    state.counters["median_us"] = Quantile(us, 0.5);
    state.counters["max_us"] = Quantile(us, 1.0);
}

void BM_ListPorts(benchmark::State& state) {
    std::vector<double> us;
    std::size_t found = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto ports = tovra::ListPorts();
        us.push_back(Micros(Clock::now() - start));
        found = ports.size();
        benchmark::DoNotOptimize(found);
    }
    ReportLatency(state, us);
    state.counters["ports"] = static_cast<double>(found);
}

}  // namespace

// Many short repetitions of each, to be run with --benchmark_enable_random_interleaving:
// on a shared machine the floor and the link then meet the same disturbances.
BENCHMARK(BM_FloorRoundTrip)->Iterations(2000)->Repetitions(15)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAllRoundTrip)->Iterations(2000)->Repetitions(15)->Unit(benchmark::kMicrosecond);
// Where the difference goes: a reader thread alone, and the link without the module.
BENCHMARK(BM_ThreadedFloorRoundTrip)
    ->Iterations(2000)
    ->Repetitions(15)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinkEchoRoundTrip)->Iterations(2000)->Repetitions(15)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PacedReadAllRoundTrip)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleOpenPortCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_CloseIdleReader)->Iterations(50)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPorts)->Iterations(200)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
