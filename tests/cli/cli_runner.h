#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace tovra::cli {

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

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
