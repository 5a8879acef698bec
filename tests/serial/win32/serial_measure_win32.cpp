// Not a test: prints the reader's CPU time over 10 idle seconds with a port open, and the
// Close latency with an idle reader. Run by scripts/test-windows.sh under Wine, against
// the pty peer (TOVRA_PEER_PORT) on the port given as the first argument (COM20).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "serial/cx_serial.h"
#include "tests/serial/win32/peer_link.h"

namespace {

using namespace std::chrono_literals;

double Seconds(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

// Keeps a handle to the reader thread, taken on that thread at its first byte.
class MeasuredChannel : public tovra::CXSerial {
  public:
    ~MeasuredChannel() {
        Close();
        if (thread_ != nullptr) {
            CloseHandle(thread_);
        }
    }
    HANDLE Reader() const { return ready_.load() ? thread_ : nullptr; }

  protected:
    void OnByte(unsigned char) override {
        if (!ready_.load()) {
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread_,
                            0, FALSE, DUPLICATE_SAME_ACCESS);
            ready_.store(true);
        }
    }

  private:
    HANDLE thread_ = nullptr;
    std::atomic<bool> ready_{false};
};

bool WaitForReader(const MeasuredChannel& channel) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (channel.Reader() == nullptr && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(2ms);
    }
    return channel.Reader() != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string port = argc > 1 ? argv[1] : "COM20";
    const char* peer_port = std::getenv("TOVRA_PEER_PORT");
    tovra::test::PeerLink peer;
    if (peer_port == nullptr || !peer.Connect(static_cast<unsigned short>(std::atoi(peer_port))) ||
        !peer.Reset()) {
        std::fprintf(stderr, "serial_measure_win32: no pty peer (%s)\n", peer.Error().c_str());
        return 1;
    }

    {
        MeasuredChannel channel;
        if (!channel.Open(port, 9600, 0)) {
            std::fprintf(stderr, "serial_measure_win32: %s\n", channel.LastError().message.c_str());
            return 1;
        }
        if (!peer.Send(1, 1, 1) || !WaitForReader(channel)) {
            std::fprintf(stderr, "serial_measure_win32: the reader got no byte\n");
            return 1;
        }
        FILETIME created, exited, k0, u0, k1, u1;
        GetThreadTimes(channel.Reader(), &created, &exited, &k0, &u0);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(10s);
        GetThreadTimes(channel.Reader(), &created, &exited, &k1, &u1);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = Seconds(k1) - Seconds(k0) + Seconds(u1) - Seconds(u0);
        std::printf("reader CPU time over %.1f idle seconds: %.3f s (%.2f%% of one core)\n", wall,
                    cpu, 100.0 * cpu / wall);
    }

    std::vector<double> close_ms;
    for (int i = 0; i < 20; ++i) {
        MeasuredChannel channel;
        if (!channel.Open(port, 9600, 0)) {
            std::fprintf(stderr, "serial_measure_win32: %s\n", channel.LastError().message.c_str());
            return 1;
        }
        std::this_thread::sleep_for(50ms);  // let the reader settle into its idle wait
        const auto start = std::chrono::steady_clock::now();
        channel.Close();
        close_ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(close_ms.begin(), close_ms.end());
    std::printf("Close with an idle reader over %zu closes: median %.2f ms, max %.2f ms\n",
                close_ms.size(), close_ms[close_ms.size() / 2], close_ms.back());
    return 0;
}
