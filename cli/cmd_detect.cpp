#include <algorithm>
#include <cmath>
#include <cstdio>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/module_session.h"
#include "cli/settings_view.h"
#include "protocol/frame.h"
#include "protocol/units.h"

namespace tovra::cli {

namespace {

// Without --timeout, each try waits for the request and the reply to cross the line
// twice over at its speed (11 bits a byte with parity), plus a margin for the module.
std::chrono::milliseconds TryTimeout(const LineSettings& line) {
    const double wire_ms = 2.0 * 2.0 * kSettingsFrameSize * 11.0 * 1000.0 / line.baud;
    return std::chrono::milliseconds(300 + static_cast<long long>(std::ceil(wire_ms)));
}

// The speeds and parities to try: the given line first, then parity none at every speed
// (9600 first), then odd, then even.
std::vector<LineSettings> Candidates(const LineSettings& first) {
    std::vector<unsigned> speeds{9600};
    for (const unsigned b : kBaudRates) {
        if (b != 9600) {
            speeds.push_back(b);
        }
    }
    std::vector<LineSettings> order{first};
    for (unsigned parity = 0; parity < 3; ++parity) {
        for (const unsigned baud : speeds) {
            if (baud != first.baud || parity != first.parity) {
                order.push_back({baud, parity});
            }
        }
    }
    return order;
}

class DetectCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand(
            "detect", "Try each module speed and parity with Read All until one answers");
        options_.Add(*sub, false);
        return sub;
    }

    int Run(RunContext& ctx) override {
        const CheckedPortOptions o = Check(options_);
        ModuleSession session(o.ports.front(), ctx.console, o.trace);
        bool opened = false;
        for (const LineSettings& line : Candidates(o.line)) {
            const bool ok = opened ? session.SetLine(line) : session.Open(line);
            if (!ok) {
                if (!opened) {
                    ctx.console.Error("cannot open " + session.Port() + ": " + session.OpenError());
                    return kExitDevice;
                }
                continue;  // a speed this port cannot take
            }
            opened = true;
            const auto timeout = o.timeout_given ? o.timeout : TryTimeout(line);
            const Reply reply = session.Request(BuildReadAllFrame(), Expect::Settings, timeout);
            if (reply.outcome == Outcome::PortLost || reply.outcome == Outcome::SendFailed) {
                ctx.console.Error(session.Port() + ": " + DescribeFailure(reply, timeout));
                return kExitDevice;
            }
            if (reply.outcome != Outcome::Settings) {
                continue;  // silence, or garbage from a wrong speed
            }
            const std::string parity = ParityName(static_cast<std::uint8_t>(line.parity));
            if (o.json) {
                ctx.console.Out(nlohmann::ordered_json{{"port", session.Port()},
                                                       {"baud", line.baud},
                                                       {"parity", parity}}
                                    .dump() +
                                "\n");
            } else {
                ctx.console.Out("The module on " + session.Port() + " answers at " +
                                std::to_string(line.baud) + " baud, parity " + parity +
                                ".\nUse: --baud " + std::to_string(line.baud) + " --parity " +
                                parity + "\n");
            }
            return kExitOk;
        }
        ctx.console.Error(session.Port() + ": no answer at any speed and parity");
        return kExitDevice;
    }

  private:
    PortOptions options_;
};

}  // namespace

std::unique_ptr<Command> MakeDetectCommand() {
    return std::make_unique<DetectCommand>();
}

}  // namespace tovra::cli
