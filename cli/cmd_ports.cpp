#include <algorithm>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "serial/port_list.h"

namespace tovra::cli {

namespace {

class PortsCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand("ports", "List the serial ports with descriptions");
        sub->add_flag("--json", json_, "Print JSON");
        return sub;
    }

    int Run(RunContext& ctx) override {
        const std::vector<PortInfo> ports = ListPorts();
        if (json_) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const PortInfo& p : ports) {
                list.push_back({{"name", p.name},
                                {"description", p.description},
                                {"virtual", p.is_virtual},
                                {"vendor_id", p.vendor_id},
                                {"product_id", p.product_id},
                                {"manufacturer", p.manufacturer},
                                {"product", p.product},
                                {"serial_number", p.serial_number}});
            }
            ctx.console.Out(list.dump(2) + "\n");
            return kExitOk;
        }
        if (ports.empty()) {
            ctx.console.Out("No serial ports found.\n");
            return kExitOk;
        }
        std::size_t width = 4;
        for (const PortInfo& p : ports) {
            width = std::max(width, p.name.size());
        }
        std::string text = "PORT" + std::string(width - 4 + 2, ' ') + "DESCRIPTION\n";
        for (const PortInfo& p : ports) {
            text += p.name + std::string(width - p.name.size() + 2, ' ') + p.description + "\n";
        }
        ctx.console.Out(text);
        return kExitOk;
    }

  private:
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Command> MakePortsCommand() {
    return std::make_unique<PortsCommand>();
}

}  // namespace tovra::cli
