#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/module_session.h"
#include "cli/settings_view.h"
#include "protocol/frame.h"

namespace tovra::cli {

namespace {

class ReadCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand("read", "Read All: print the module's settings");
        options_.Add(*sub, false);
        return sub;
    }

    int Run(RunContext& ctx) override {
        const CheckedPortOptions o = Check(options_);
        ModuleSession session(o.ports.front(), ctx.console, o.trace);
        if (!session.Open(o.line)) {
            ctx.console.Error("cannot open " + session.Port() + ": " + session.OpenError());
            return kExitDevice;
        }
        const Reply reply = session.Request(BuildReadAllFrame(), Expect::Settings, o.timeout);
        if (reply.outcome != Outcome::Settings) {
            ctx.console.Error(session.Port() + ": " + DescribeFailure(reply, o.timeout));
            return kExitDevice;
        }
        ctx.console.Out(o.json ? SettingsJson(reply.decoded).dump(2) + "\n"
                               : SettingsTable(reply.decoded));
        return kExitOk;
    }

  private:
    PortOptions options_;
};

}  // namespace

std::unique_ptr<Command> MakeReadCommand() {
    return std::make_unique<ReadCommand>();
}

}  // namespace tovra::cli
