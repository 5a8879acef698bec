#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/hex.h"
#include "cli/values.h"
#include "protocol/frame.h"
#include "protocol/units.h"

namespace tovra::cli {

namespace {

class EncodeCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub =
            app.add_subcommand("encode", "Print a request frame in hex; no port needed");
        sub->require_subcommand(1);
        sub->add_flag("--json", json_, "Print JSON");
        read_all_ = sub->add_subcommand("read-all", "The Read All request");
        write_all_ = sub->add_subcommand(
            "write-all", "A Write All request; fields not given take the window's initial values");
        settings_.Add(*write_all_);
        version_read_ = sub->add_subcommand("version-read", "The version read request");
        version_write_ = sub->add_subcommand("version-write", "A version write request");
        version_write_->add_option("version", version_, "v1.7 or v1.8")
            ->type_name("VERSION")
            ->required();
        for (CLI::App* leaf : {read_all_, write_all_, version_read_, version_write_}) {
            leaf->add_flag("--json", json_, "Print JSON");
        }
        return sub;
    }

    int Run(RunContext& ctx) override {
        std::vector<std::uint8_t> frame;
        if (read_all_->parsed()) {
            const Frame23 f = BuildReadAllFrame();
            frame.assign(f.begin(), f.end());
        } else if (write_all_->parsed()) {
            ModuleSettings s = InitialWindowSettings();
            ApplyChange(Check(settings_), s);
            const Frame23 f = BuildWriteAllFrame(s);
            frame.assign(f.begin(), f.end());
        } else if (version_read_->parsed()) {
            const Frame13 f = BuildVersionReadFrame();
            frame.assign(f.begin(), f.end());
        } else {
            const Frame13 f = BuildVersionWriteFrame(ParseVersionName(version_, "version"));
            frame.assign(f.begin(), f.end());
        }
        ctx.console.Out(json_ ? nlohmann::ordered_json{{"frame", FormatHex(frame)}}.dump() + "\n"
                              : FormatHex(frame) + "\n");
        return kExitOk;
    }

  private:
    bool json_ = false;
    SettingsOptions settings_;
    std::string version_;
    CLI::App* read_all_ = nullptr;
    CLI::App* write_all_ = nullptr;
    CLI::App* version_read_ = nullptr;
    CLI::App* version_write_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeEncodeCommand() {
    return std::make_unique<EncodeCommand>();
}

}  // namespace tovra::cli
