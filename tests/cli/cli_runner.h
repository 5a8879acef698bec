#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli.h"

namespace tovra::cli {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

// A file name in the test temp directory that no other test process uses at the same time
// (ctest runs the cases of one suite as parallel processes).
inline std::string UniqueTempPath(const std::string& name) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return ::testing::TempDir() + "/tovra-" + std::to_string(stamp) + "-" +
           std::to_string(counter++) + "-" + name;
}

// Runs tovra-rf in-process with the given standard input.
inline CliResult RunTool(const std::vector<std::string>& args, const std::string& input = "",
                         std::function<void(const std::string&)> before_verify = {}) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    CliResult r;
    r.code = RunCli(args, CliIo{in, out, err, std::move(before_verify)});
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace tovra::cli
