// Prints two figures of the channel on a pseudo-terminal: the reader thread's CPU time
// over 10 idle seconds with the port open, and how long Close takes with an idle reader.
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "serial/cx_serial.h"
#include "tests/serial/pty_pair.h"

namespace {

using namespace std::chrono_literals;

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

class ClockedChannel : public tovra::CXSerial {
  public:
    ~ClockedChannel() { Close(); }
    std::atomic<bool> has_clock{false};
    clockid_t clock{};

  protected:
    void OnByte(unsigned char) override {
        if (!has_clock.load()) {
            pthread_getcpuclockid(pthread_self(), &clock);
            has_clock.store(true);
        }
    }
};

bool WaitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 10000 && !flag.load(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    return flag.load();
}

}  // namespace

int main() {
    tovra::test::PtyPair pty;
    if (!pty.Ok()) {
        std::fprintf(stderr, "openpty failed\n");
        return 1;
    }
    {
        ClockedChannel channel;
        if (!channel.Open(pty.SlavePath(), 9600, 0)) {
            std::fprintf(stderr, "open failed: %s\n", channel.LastError().message.c_str());
            return 1;
        }
        const unsigned char wake = 0;
        if (::write(pty.Master(), &wake, 1) != 1 || !WaitFor(channel.has_clock)) {
            std::fprintf(stderr, "the reader did not run\n");
            return 1;
        }
        const double reader0 = CpuSeconds(channel.clock);
        const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        std::this_thread::sleep_for(10s);
        std::printf(
            "idle 10 s with the port open: reader thread CPU %.3f ms, process CPU %.3f ms\n",
            (CpuSeconds(channel.clock) - reader0) * 1e3,
            (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0) * 1e3);
    }

    std::vector<double> close_ms;
    for (int i = 0; i < 50; ++i) {
        ClockedChannel channel;
        if (!channel.Open(pty.SlavePath(), 9600, 0)) {
            std::fprintf(stderr, "open failed: %s\n", channel.LastError().message.c_str());
            return 1;
        }
        std::this_thread::sleep_for(20ms);  // let the reader settle into its wait
        const auto start = std::chrono::steady_clock::now();
        channel.Close();
        close_ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(close_ms.begin(), close_ms.end());
    std::printf("Close with an idle reader over %zu runs: median %.3f ms, max %.3f ms\n",
                close_ms.size(), close_ms[close_ms.size() / 2], close_ms.back());
    return 0;
}
