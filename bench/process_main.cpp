// Times whole processes: runs a command RUNS times and prints every run's wall time and
// the largest peak resident memory of any run, as JSON.
//
//   bench_process RUNS [--first-output] -- COMMAND [ARGS...]
//
// With --first-output a run's time ends at the first byte the command writes to standard
// output (for a program that reports a moment and then carries on shutting down).
// Standard output is otherwise discarded. A run that fails fails the whole call.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim/unique_fd.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tovra::sim::UniqueFd;

struct Run {
    double ms = 0.0;
    long max_rss_kib = 0;
};

// Spawns the command with its standard output on out_fd; -1 when it cannot be started.
pid_t Spawn(char** command, int out_fd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, command[0], &actions, nullptr, command, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        std::fprintf(stderr, "bench_process: cannot start %s: %s\n", command[0],
                     std::strerror(err));
        return -1;
    }
    return pid;
}

bool RunOnce(char** command, bool first_output, Run& run) {
    UniqueFd out;
    UniqueFd read_end;
    if (first_output) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return false;
        }
        read_end.Reset(fds[0]);
        out.Reset(fds[1]);
    } else {
        out.Reset(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    }
    const auto start = Clock::now();
    const pid_t pid = Spawn(command, out.Get());
    out.Reset();  // the child holds its own copy; end of file then means it has exited
    if (pid < 0) {
        return false;
    }
    auto end = Clock::time_point{};
    if (first_output) {
        char buffer[256];
        bool first = true;
        ssize_t n = 0;
        while ((n = ::read(read_end.Get(), buffer, sizeof buffer)) != 0) {
            if (n > 0 && first) {
                end = Clock::now();
                first = false;
            }
        }
        if (first) {
            std::fprintf(stderr, "bench_process: %s printed nothing\n", command[0]);
        }
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    if (!first_output) {
        end = Clock::now();
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_process: %s failed (status %d)\n", command[0], status);
        return false;
    }
    if (end == Clock::time_point{}) {
        return false;
    }
    run.ms = std::chrono::duration<double, std::milli>(end - start).count();
    run.max_rss_kib = usage.ru_maxrss;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    const int runs = argc > arg ? std::atoi(argv[arg++]) : 0;
    bool first_output = false;
    if (arg < argc && std::strcmp(argv[arg], "--first-output") == 0) {
        first_output = true;
        ++arg;
    }
    if (runs < 1 || arg + 1 >= argc || std::strcmp(argv[arg], "--") != 0) {
        std::fprintf(stderr, "usage: bench_process RUNS [--first-output] -- COMMAND [ARGS...]\n");
        return 2;
    }
    char** command = argv + arg + 1;
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) {
        Run run;
        if (!RunOnce(command, first_output, run)) {
            return 1;
        }
        results.push_back(run);
    }
    long max_rss = 0;
    std::printf("{\"ms\": [");
    for (std::size_t i = 0; i < results.size(); ++i) {
        std::printf("%s%.3f", i == 0 ? "" : ", ", results[i].ms);
        max_rss = std::max(max_rss, results[i].max_rss_kib);
    }
    std::printf("], \"max_rss_kib\": %ld}\n", max_rss);
    return 0;
}
