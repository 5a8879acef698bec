#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/module_session.h"
#include "cli/settings_view.h"
#include "cli/values.h"
#include "protocol/frame.h"

namespace tovra::cli {

namespace {

class VersionCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub =
            app.add_subcommand("version", "Read the module's version selector, or set it");
        options_.Add(*sub, false);
        set_option_ = sub->add_option("--set", set_, "v1.7 or v1.8")->type_name("VERSION");
        return sub;
    }

    int Run(RunContext& ctx) override {
        const CheckedPortOptions o = Check(options_);
        std::optional<std::uint8_t> code;
        if (set_option_->count() > 0) {
            code = ParseVersionName(set_, "--set");
        }
        ModuleSession session(o.ports.front(), ctx.console, o.trace);
        if (!session.Open(o.line)) {
            ctx.console.Error("cannot open " + session.Port() + ": " + session.OpenError());
            return kExitDevice;
        }
        const Frame13 frame = code ? BuildVersionWriteFrame(*code) : BuildVersionReadFrame();
        const Reply reply = session.Request(frame, Expect::Version, o.timeout);
        if (reply.outcome != Outcome::Version) {
            ctx.console.Error(session.Port() + ": " + DescribeFailure(reply, o.timeout));
            return kExitDevice;
        }
        const std::uint8_t answered = reply.decoded.VersionCode;
        if (o.json) {
            ctx.console.Out(
                nlohmann::ordered_json{{"version", VersionJson(answered)}, {"code", answered}}
                    .dump() +
                "\n");
        } else {
            ctx.console.Out((code ? "Version set: " : "Version: ") + VersionText(answered) + "\n");
        }
        if (code && answered != *code) {
            ctx.console.Error(session.Port() + ": the module answered " + VersionText(answered) +
                              " after being set to " + VersionText(*code));
            return kExitDevice;
        }
        return kExitOk;
    }

  private:
    PortOptions options_;
    std::string set_;
    CLI::Option* set_option_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeVersionCommand() {
    return std::make_unique<VersionCommand>();
}

}  // namespace tovra::cli
