#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace tovra::cli {

// Exit codes of tovra-rf.
enum ExitCode : int {
    kExitOk = 0,
    kExitDevice = 1,  // a port or device failure
    kExitUsage = 2,   // bad usage or a bad value; nothing was sent
};

// The streams a run talks to; tests hand in string streams.
struct CliIo {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Test seam: called for each port after a write was answered, before the read-back.
    std::function<void(const std::string& port)> before_verify = {};
};

// Runs tovra-rf with the given arguments (without the program name) and returns its exit
// code. Never throws.
int RunCli(const std::vector<std::string>& args, CliIo io);
int RunCli(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tovra::cli
