#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/module_session.h"
#include "cli/settings_change.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace tovra::cli {

// --port, --baud, --parity, --timeout, --json, --trace as typed; checked by Check().
struct PortOptions {
    std::vector<std::string> ports;
    std::string baud = "9600";
    std::string parity = "none";
    std::string timeout = "3";
    bool json = false;
    bool trace = false;
    CLI::Option* timeout_option = nullptr;

    void Add(CLI::App& app, bool several_ports);
};

struct CheckedPortOptions {
    std::vector<std::string> ports;
    LineSettings line;
    std::chrono::milliseconds timeout{3000};
    bool timeout_given = false;
    bool json = false;
    bool trace = false;
};
CheckedPortOptions Check(const PortOptions& o);

// The settings options and --profile as typed.
struct SettingsOptions {
    std::string frequency, spreading_factor, mode, bandwidth, power, node_id, net_id, module_baud,
        module_parity, profile;
    std::vector<CLI::Option*> given;  // the options above, to tell given from default
    CLI::Option* profile_option = nullptr;

    void Add(CLI::App& app);
};
// The profile (if any) with the options on top. Throws UsageError.
SettingsChange Check(const SettingsOptions& o);

}  // namespace tovra::cli
