#include "cli/cli.h"

#include <algorithm>
#include <exception>
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/usage_error.h"

#ifndef TOVRA_VERSION
#error "TOVRA_VERSION must be defined by the build"
#endif

namespace tovra::cli {

namespace {

constexpr const char* kUsageHint =
    "Run 'tovra-rf --help' or 'tovra-rf COMMAND --help' for the options.";

int Run(const std::vector<std::string>& args, CliIo io) {
    Console console(io.out, io.err);
    CLI::App app("Configure a LoRa radio modem module on a serial port.", "tovra-rf");
    app.set_version_flag("--version", std::string("tovra-rf ") + TOVRA_VERSION,
                         "Print the version and exit");
    app.require_subcommand(1);
    // "/path" is a file, never a Windows-style "/option"; the same on every platform.
    // Set before the subcommands are added, which copy it.
    app.allow_windows_style_options(false);
    app.footer(
        "Exit codes: 0 success; 1 a port or device failure (cannot open, no reply, checksum "
        "failure, verify mismatch, port lost); 2 bad usage or a bad value (nothing is sent).");

    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(MakePortsCommand());
    commands.push_back(MakeReadCommand());
    commands.push_back(MakeWriteCommand());
    commands.push_back(MakeVersionCommand());
    commands.push_back(MakeDetectCommand());
    commands.push_back(MakeEncodeCommand());
    commands.push_back(MakeDecodeCommand());
    commands.push_back(MakeSimulateCommand());
    std::vector<CLI::App*> subcommands;
    for (const auto& command : commands) {
        subcommands.push_back(command->Register(app));
    }

    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help or --version
            app.exit(e, io.out, io.err);
            return kExitOk;
        }
        console.Error(std::string(e.what()) + "\n" + kUsageHint);
        return kExitUsage;
    }

    RunContext ctx{io.in, console, io.before_verify};
    try {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            if (subcommands[i]->parsed()) {
                return commands[i]->Run(ctx);
            }
        }
        console.Error(std::string("no command given\n") + kUsageHint);
        return kExitUsage;
    } catch (const UsageError& e) {
        console.Error(e.what());
        return kExitUsage;
    }
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliIo io) {
    try {
        return Run(args, io);
    } catch (const std::exception& e) {
        io.err << "tovra-rf: internal error: " << e.what() << std::endl;
    } catch (...) {
        io.err << "tovra-rf: internal error" << std::endl;
    }
    return kExitDevice;
}

int RunCli(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    return RunCli(args, CliIo{in, out, err});
}

}  // namespace tovra::cli
