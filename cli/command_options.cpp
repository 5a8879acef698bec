#include "cli/command_options.h"

#include <set>

#include <CLI/CLI.hpp>

#include "cli/profile.h"
#include "cli/usage_error.h"
#include "cli/values.h"

namespace tovra::cli {

void PortOptions::Add(CLI::App& app, bool several_ports) {
    if (several_ports) {
        app.add_option("--port", ports,
                       "Serial port (device path, link or COMn); repeat to write several "
                       "modules in parallel")
            ->type_name("PORT")
            ->required()
            ->take_all();
    } else {
        app.add_option("--port", ports, "Serial port (device path, link or COMn)")
            ->type_name("PORT")
            ->required()
            ->expected(1);
    }
    app.add_option("--baud", baud, "Computer-side speed: 1200 ... 115200")
        ->type_name("BAUD")
        ->capture_default_str();
    app.add_option("--parity", parity, "Computer-side parity: none, odd or even")
        ->type_name("PARITY")
        ->capture_default_str();
    timeout_option = app.add_option("--timeout", timeout, "Seconds to wait for each reply")
                         ->type_name("SECONDS")
                         ->capture_default_str();
    app.add_flag("--json", json, "Print JSON");
    app.add_flag("--trace", trace, "Every frame sent and received, timestamped, on stderr");
}

CheckedPortOptions Check(const PortOptions& o) {
    CheckedPortOptions c;
    // One thread and one open port each: a bound well beyond any bench of modules.
    constexpr std::size_t kMaxPorts = 64;
    if (o.ports.size() > kMaxPorts) {
        throw UsageError("--port: at most " + std::to_string(kMaxPorts) + " ports at once (got " +
                         std::to_string(o.ports.size()) + ")");
    }
    std::set<std::string> seen;
    for (const std::string& port : o.ports) {
        if (port.empty()) {
            throw UsageError("--port: must name a port (got an empty name)");
        }
        if (!seen.insert(port).second) {
            throw UsageError("--port: " + port + " is given twice; each port takes one module");
        }
    }
    c.ports = o.ports;
    c.line.baud = ParseLineBaud(o.baud, "--baud");
    c.line.parity = ParseParity(o.parity, "--parity");
    c.timeout = ParseTimeout(o.timeout, "--timeout");
    c.timeout_given = o.timeout_option != nullptr && o.timeout_option->count() > 0;
    c.json = o.json;
    c.trace = o.trace;
    return c;
}

void SettingsOptions::Add(CLI::App& app) {
    auto add = [&app](const char* name, std::string& value, const char* type, const char* help) {
        return app.add_option(name, value, help)->type_name(type);
    };
    given = {
        add("--frequency", frequency, "MHZ", "MHz, 140.00 to 990.00 (rounded to 0.01)"),
        add("--spreading-factor", spreading_factor, "CHIPS",
            "Chips: 128, 256, 512, 1024, 2048 or 4096"),
        add("--mode", mode, "MODE", "normal or saving"),
        add("--bandwidth", bandwidth, "BW", "62.5K, 125K, 250K or 500K"),
        add("--power", power, "LEVEL", "Output power level 1 to 7"),
        add("--node-id", node_id, "ID", "Node id 0 to 65535"),
        add("--net-id", net_id, "ID", "Net id 0 to 255"),
        add("--module-baud", module_baud, "BAUD", "Module UART speed: 1200 ... 115200"),
        add("--module-parity", module_parity, "PARITY", "Module UART parity: none, odd or even"),
    };
    profile_option = add("--profile", profile, "FILE", "JSON file with the keys of read --json");
}

SettingsChange Check(const SettingsOptions& o) {
    SettingsChange base;
    if (o.profile_option != nullptr && o.profile_option->count() > 0) {
        if (o.profile.empty()) {
            throw UsageError("--profile: must name a file (got an empty name)");
        }
        base = LoadProfile(o.profile);
    }
    auto given = [&o](std::size_t i) { return i < o.given.size() && o.given[i]->count() > 0; };
    SettingsChange c;
    if (given(0)) {
        c.frequency = ParseFrequency(o.frequency, "--frequency");
    }
    if (given(1)) {
        c.factor = ParseSpreadingFactor(o.spreading_factor, "--spreading-factor");
    }
    if (given(2)) {
        c.mode = ParseMode(o.mode, "--mode");
    }
    if (given(3)) {
        c.bandwidth = ParseBandwidth(o.bandwidth, "--bandwidth");
    }
    if (given(4)) {
        c.power = ParsePower(o.power, "--power");
    }
    if (given(5)) {
        c.node_id = ParseNodeId(o.node_id, "--node-id");
    }
    if (given(6)) {
        c.net_id = ParseNetId(o.net_id, "--net-id");
    }
    if (given(7)) {
        c.module_baud_code = ParseModuleBaud(o.module_baud, "--module-baud");
    }
    if (given(8)) {
        c.module_parity = ParseParity(o.module_parity, "--module-parity");
    }
    return base.OverriddenBy(c);
}

}  // namespace tovra::cli
