// Read All round trips through QDSerial against a module in another process, for the
// side-by-side with the pyserial client doing the same:
//
//   bench_link_client PORT COUNT
//
// Prints {"median_us": ..., "p99_us": ...}.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/reply_waiter.h"
#include "bench/samples.h"
#include "link/qd_serial.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: bench_link_client PORT COUNT\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    tovra::bench::ReplyWaiter waiter;
    tovra::QDSerial link;
    link.SetNotifyTarget(&waiter, tovra::RegisterWindowMessage(tovra::kReplyMessageName));
    if (!link.Open(argv[1], 9600, 0)) {
        std::fprintf(stderr, "bench_link_client: %s\n", link.LastError().message.c_str());
        return 1;
    }
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!link.ReadAll() || waiter.Next(std::chrono::seconds(10)) != tovra::kNotifyGood) {
            std::fprintf(stderr, "bench_link_client: no good reply to request %d\n", i);
            return 1;
        }
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::printf("{\"median_us\": %.3f, \"p99_us\": %.3f}\n", tovra::bench::Quantile(us, 0.5),
                tovra::bench::Quantile(us, 0.99));
    return 0;
}
