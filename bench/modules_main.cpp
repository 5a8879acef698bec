// Runs simulated modules for the process-level figures, so that the tool, the window and
// the Python client all talk to the same module process:
//
//   bench_modules COUNT DIR [--pace]
//
// Links DIR/sim0 .. DIR/sim<COUNT-1> to the modules' ports, prints "ready" once all are
// up, and runs until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "protocol/units.h"
#include "sim/simulated_module.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "--pace") != 0)) {
        std::fprintf(stderr, "usage: bench_modules COUNT DIR [--pace]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    if (count < 1 || count > 256) {
        std::fprintf(stderr, "bench_modules: COUNT must be 1 to 256\n");
        return 2;
    }
    tovra::sim::Faults faults;
    faults.pace = argc == 4;

    // Blocked before any module thread starts, so that only sigwait below receives them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    std::vector<std::unique_ptr<tovra::sim::SimulatedModule>> modules;
    for (int i = 0; i < count; ++i) {
        auto module =
            std::make_unique<tovra::sim::SimulatedModule>(tovra::InitialWindowSettings(), faults);
        const std::string link = std::string(argv[2]) + "/sim" + std::to_string(i);
        if (!module->Start(link)) {
            std::fprintf(stderr, "bench_modules: %s: %s\n", link.c_str(),
                         module->LastError().c_str());
            return 1;
        }
        modules.push_back(std::move(module));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;  // the modules stop and remove their links
}
