// Endurance run: request/reply cycles (Read All, Write All, version) through the link
// against the simulated module, with faults at random and a lost and re-created port
// every 1,000 cycles. Exits non-zero on any lost or misreported reply, false success,
// leak or busy loop.
//
//   bench_soak [--cycles N] [--seed S]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/soak_run.h"

int main(int argc, char** argv) {
    int cycles = 10000;
    unsigned seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) {
            cycles = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            cycles = 0;
            break;
        }
    }
    // Memory and descriptors are compared with what they were after the first 100 cycles.
    if (cycles < 100) {
        std::fprintf(stderr, "usage: bench_soak [--cycles N (at least 100)] [--seed S]\n");
        return 2;
    }
    tovra::bench::SoakRun run(seed);
    const tovra::bench::SoakReport report = run.Run(cycles);
    report.Print();
    return report.Passed() ? 0 : 1;
}
