#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/usage_error.h"

namespace tovra::cli {

namespace {

// The simulated module needs a POSIX pseudo-terminal; here the subcommand only says so.
class SimulateUnavailable : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand("simulate", "Not available on this platform");
        sub->allow_extras();
        return sub;
    }

    int Run(RunContext&) override {
        throw UsageError(
            "simulate: not available on this platform (it needs a POSIX pseudo-terminal); run "
            "tovra-rf simulate on Linux and reach it through a serial port");
    }
};

}  // namespace

std::unique_ptr<Command> MakeSimulateCommand() {
    return std::make_unique<SimulateUnavailable>();
}

}  // namespace tovra::cli
