#include "bench/soak_run.h"

#include <thread>

#include "bench/process_stats.h"
#include "protocol/frame.h"
#include "protocol/units.h"

namespace tovra::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Generous: a reply delayed up to the time-out and then split into single bytes on a
// loaded machine still comes well within this. Only a lost reply takes it.
constexpr std::chrono::milliseconds kNoticeDeadline{30000};
// How long the process is watched while a lost port waits to be closed.
constexpr std::chrono::milliseconds kLostPortWatch{500};
constexpr std::size_t kMaxLoggedFailures = 10;
// Memory not backed by files (code pages come in the first time a path runs, which is no
// leak) moves by some allocator and thread-stack pages; the heap in use only by what a
// re-created port's threads and buffers differ by.
constexpr std::size_t kRssSlackKiB = 64;
constexpr std::size_t kHeapSlackBytes = 16 * 1024;

bool SameSettings(ModuleSettings a, const ModuleSettings& b) {
    a.VersionCode = b.VersionCode;
    a.VersionReady = b.VersionReady;
    return a == b;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::size_t ExpectedLosses(int cycles) {
    return cycles < kFirstLoss
               ? 0
               : static_cast<std::size_t>((cycles - kFirstLoss) / kLossInterval + 1);
}

}  // namespace

SoakRun::SoakRun(unsigned seed) : rng_(seed), seed_(seed), module_(InitialWindowSettings()) {
    version_ = InitialWindowSettings().VersionCode;
    link_.SetNotifyTarget(&waiter_, RegisterWindowMessage(kReplyMessageName));
}

SoakReport SoakRun::Run(int cycles) {
    SoakReport report;
    report.cycles = cycles;
    report.seed = seed_;
    report.ports_to_lose = ExpectedLosses(cycles);
    report.memory_judged = !kSanitized;
    if (!module_.Start() || !link_.Open(module_.PortPath(), 9600, 0)) {
        Fail(report, "cannot start: " + module_.LastError() + link_.LastError().message);
        report.lost = 1;
        return report;
    }
    std::printf("soak: %d cycles, seed %u\n", cycles, seed_);
    std::fflush(stdout);  // standard output's buffer exists before the first measurement
    const auto start = Clock::now();
    std::size_t recorded_at_100 = 0;
    for (cycle_ = 1; cycle_ <= cycles; ++cycle_) {
        const CyclePlan plan = PlanCycle(rng_, lose_after_);
        ++report.by_request[static_cast<int>(plan.request)];
        Cycle(plan, report);
        if (++port_cycles_ == lose_after_) {
            LoseAndReopen(report);
        }
        if (cycle_ == 100) {
            report.fds_after_100 = OpenFdCount();
            recorded_at_100 = module_.Received().size();
            report.rss_after_100_kib = AnonymousResidentKiB();
            report.heap_after_100 = HeapInUseBytes();
        }
        if (cycle_ % 1000 == 0) {
            std::printf("  %d cycles, %.1f s\n", cycle_,
                        std::chrono::duration<double>(Clock::now() - start).count());
            std::fflush(stdout);
        }
    }
    // Anything still arriving now answers no request.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    report.unexpected_after = waiter_.Pending();
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The module keeps a record of every byte it received: a vector that holds up to twice
    // its size and, resident, also the pages of the buffers it grew out of.
    const std::size_t recorded = module_.Received().size() - recorded_at_100;
    report.fds_at_end = OpenFdCount();
    report.rss_at_end_kib = AnonymousResidentKiB();
    report.heap_at_end = HeapInUseBytes();
    report.rss_allowance_kib = kRssSlackKiB + 4 * recorded / 1024;
    report.heap_allowance = kHeapSlackBytes + 2 * recorded;
    return report;
}

bool SoakRun::Send(const CyclePlan& plan) {
    switch (plan.request) {
        case SoakRequest::ReadAll:
            return link_.ReadAll();
        case SoakRequest::WriteAll:
            return link_.WriteAll(&plan.settings);
        case SoakRequest::VersionRead:
            return link_.WriteFrame(BuildVersionReadFrame());
        case SoakRequest::VersionWrite:
            return link_.WriteFrame(BuildVersionWriteFrame(plan.version_code));
    }
    return false;
}

void SoakRun::Cycle(const CyclePlan& plan, SoakReport& report) {
    module_.SetFaults(plan.faults);
    const ModuleSettings before = link_.Decoded();
    const std::uintptr_t expected = ExpectedNotice(plan);
    if (!Send(plan)) {
        ++report.write_failures;
        Fail(report,
             std::string(RequestName(plan.request)) + " not written: " + link_.LastError().message);
        return;
    }
    if (plan.request == SoakRequest::VersionWrite) {
        version_ = plan.version_code;  // stored whatever becomes of the reply
    }
    std::uintptr_t code = 0;
    const bool noticed = NextNotice(code);
    if (plan.request == SoakRequest::WriteAll &&
        module_.SettingsBytes() != EncodeSettingsBlock(plan.settings)) {
        ++report.stored_wrong;
        Fail(report, "Write All not stored as sent");
    }
    switch (expected) {
        case kNotifyGood:
            ++report.good_expected;
            break;
        case kNotifyChecksumError:
            ++report.bad_expected;
            break;
        default:
            ++report.short_expected;
            break;
    }
    if (!noticed) {
        ++report.lost;
        Fail(report, std::string("no notice for ") + RequestName(plan.request));
        return;
    }
    if (code != expected) {
        if (code == kNotifyGood) {
            ++report.false_successes;
        } else {
            ++report.misreported;
        }
        Fail(report, std::string(RequestName(plan.request)) + ": notice " + std::to_string(code) +
                         " instead of " + std::to_string(expected));
        return;
    }
    if (expected == kNotifyGood) {
        CheckGood(plan, report);
        return;
    }
    // A failed or cut reply must leave every decoded value as it was.
    if (!(link_.Decoded() == before)) {
        ++report.false_successes;
        Fail(report, "values taken from a bad or short reply");
        return;
    }
    ++(expected == kNotifyChecksumError ? report.bad_reported : report.short_reported);
}

void SoakRun::CheckGood(const CyclePlan& plan, SoakReport& report) {
    const ModuleSettings decoded = link_.TakeDecoded();
    bool right = false;
    if (IsSettingsRequest(plan.request)) {
        right = SameSettings(decoded, module_.Settings());
    } else {
        right = decoded.VersionReady == 1 && decoded.VersionCode == version_;
    }
    if (!right) {
        ++report.misreported;
        Fail(report, std::string(RequestName(plan.request)) + ": decoded values differ");
        return;
    }
    ++report.good_decoded;
}

void SoakRun::LoseAndReopen(SoakReport& report) {
    std::uintptr_t code = 0;
    if (!NextNotice(code) || code != kNotifyPortLost) {
        Fail(report, "the lost port was not notified");
    } else {
        ++report.ports_lost;
    }
    // The reader has ended and nothing has closed the link yet: a process that spins here
    // would use a whole core.
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = Clock::now();
    std::this_thread::sleep_for(kLostPortWatch);
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double percent = (ProcessCpuSeconds() - cpu0) / wall * 100.0;
    report.lost_port_cpu_max_percent = std::max(report.lost_port_cpu_max_percent, percent);

    link_.Close();
    lose_after_ = kLossInterval;
    port_cycles_ = 0;
    if (!module_.Restart() || !link_.Open(module_.PortPath(), 9600, 0)) {
        Fail(report, "port not re-created: " + module_.LastError() + link_.LastError().message);
        return;
    }
    ++report.ports_reopened;
}

bool SoakRun::NextNotice(std::uintptr_t& code) {
    const auto next = waiter_.Next(kNoticeDeadline);
    if (next) {
        code = *next;
    }
    return next.has_value();
}

void SoakRun::Fail(SoakReport& report, const std::string& what) {
    if (report.first_failures.size() < kMaxLoggedFailures) {
        report.first_failures.push_back("cycle " + std::to_string(cycle_) + ": " + what);
    }
}

}  // namespace tovra::bench
