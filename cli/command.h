#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.h"

namespace CLI {
class App;
}

namespace tovra::cli {

struct RunContext {
    std::istream& in;
    Console& console;
    std::function<void(const std::string& port)> before_verify;
};

// A subcommand: binds its options to a CLI11 subcommand, then runs once parsed. Run checks
// every value before it touches a port and throws UsageError for a bad one.
class Command {
  public:
    virtual ~Command() = default;
    virtual CLI::App* Register(CLI::App& app) = 0;
    virtual int Run(RunContext& ctx) = 0;
};

std::unique_ptr<Command> MakePortsCommand();
std::unique_ptr<Command> MakeReadCommand();
std::unique_ptr<Command> MakeWriteCommand();
std::unique_ptr<Command> MakeVersionCommand();
std::unique_ptr<Command> MakeDetectCommand();
std::unique_ptr<Command> MakeEncodeCommand();
std::unique_ptr<Command> MakeDecodeCommand();
std::unique_ptr<Command> MakeSimulateCommand();

}  // namespace tovra::cli
