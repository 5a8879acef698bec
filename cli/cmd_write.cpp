#include <algorithm>
#include <optional>
#include <system_error>
#include <thread>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/hex.h"
#include "cli/module_session.h"
#include "cli/settings_view.h"
#include "cli/usage_error.h"
#include "cli/values.h"
#include "protocol/frame.h"
#include "protocol/units.h"

namespace tovra::cli {

namespace {

struct PortResult {
    std::string port;
    std::optional<std::uint16_t> node_id;  // planned by --node-id-step or the change
    bool ok = false;
    std::string error;
    std::vector<Field> mismatched;
    bool have_settings = false;
    ModuleSettings before{};  // as the window would hold it after reading
    ModuleSettings target{};
    std::string frame;
};

struct WritePlan {
    CheckedPortOptions port;
    SettingsChange change;
    bool verify = true;
    bool dry_run = false;
    bool batch = false;
};

bool UartChanged(const ModuleSettings& a, const ModuleSettings& b) {
    return a.McuBaudCode != b.McuBaudCode || a.McuParity != b.McuParity;
}

// The line the module's own UART will use after the write, when it is one we can set.
std::optional<LineSettings> LineOf(const ModuleSettings& s) {
    const auto baud = BaudFromMcuBaudCode(s.McuBaudCode);
    if (!baud || s.McuParity > 2) {
        return std::nullopt;
    }
    return LineSettings{*baud, s.McuParity};
}

std::string MismatchText(const std::vector<Field>& fields, const ModuleSettings& wrote,
                         const ModuleSettings& read) {
    std::string s = "read back differs: ";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        s += (i == 0 ? "" : "; ") + std::string(FieldName(fields[i])) + " wrote " +
             FieldText(fields[i], wrote) + ", read " + FieldText(fields[i], read);
    }
    return s;
}

class PortWriter {
  public:
    PortWriter(const WritePlan& plan, RunContext& ctx, PortResult& result)
        : plan_(plan), console_(ctx.console), before_verify_(ctx.before_verify), result_(result) {}

    void Run() {
        ModuleSession session(result_.port, console_, plan_.port.trace);
        if (!session.Open(plan_.port.line)) {
            Fail("cannot open: " + session.OpenError());
            return;
        }
        Progress("reading");
        Reply reply = session.Request(BuildReadAllFrame(), Expect::Settings, plan_.port.timeout);
        if (reply.outcome != Outcome::Settings) {
            Fail("reading: " + DescribeFailure(reply, plan_.port.timeout));
            return;
        }
        result_.before = AsWindowHolds(reply.decoded);
        result_.target = result_.before;
        SettingsChange change = plan_.change;
        if (result_.node_id) {
            change.node_id = result_.node_id;
        }
        ApplyChange(change, result_.target);
        result_.have_settings = true;
        const Frame23 frame = BuildWriteAllFrame(result_.target);
        result_.frame = FormatHex(frame);
        if (HasSyncPairInside(frame)) {
            // The module would restart its frame there and never see this request.
            Fail("these settings put two 0xAF bytes in a row into the frame (" + result_.frame +
                 "), which the module's framing cannot carry; change the node id, net id or "
                 "frequency. Nothing was written.");
            return;
        }
        if (plan_.dry_run) {
            result_.ok = true;
            Progress("dry run, nothing written");
            return;
        }

        Progress(result_.node_id ? "writing node id " + std::to_string(*result_.node_id)
                                 : std::string("writing"));
        const bool uart_changes = UartChanged(result_.before, result_.target);
        reply = session.Request(frame, Expect::WriteReply, plan_.port.timeout);
        const bool answered =
            reply.outcome == Outcome::Settings || reply.outcome == Outcome::Acknowledged;
        // A module that takes its new UART setting at once may answer at the new speed, or
        // not at all; the read-back at the new speed then tells whether the write took.
        const bool maybe_switched = uart_changes && reply.outcome == Outcome::TimedOut;
        if (!answered && !(maybe_switched && plan_.verify)) {
            Fail("writing: " + DescribeFailure(reply, plan_.port.timeout));
            return;
        }
        if (!plan_.verify) {
            result_.ok = true;
            Progress("written (not verified)");
            return;
        }

        Progress("verifying");
        if (before_verify_) {
            before_verify_(result_.port);
        }
        reply = session.Request(BuildReadAllFrame(), Expect::Settings, plan_.port.timeout);
        if (reply.outcome == Outcome::TimedOut && uart_changes) {
            if (const auto line = LineOf(result_.target); line && session.SetLine(*line)) {
                Progress("verifying at the module's new speed and parity");
                reply = session.Request(BuildReadAllFrame(), Expect::Settings, plan_.port.timeout);
            }
        }
        if (reply.outcome != Outcome::Settings) {
            Fail("verifying: " + DescribeFailure(reply, plan_.port.timeout));
            return;
        }
        result_.mismatched = DifferentFields(result_.target, reply.decoded);
        if (!result_.mismatched.empty()) {
            Fail(MismatchText(result_.mismatched, result_.target, reply.decoded));
            return;
        }
        result_.ok = true;
        Progress("written and verified");
    }

    void Fail(const std::string& error) {
        result_.ok = false;
        result_.error = error;
        Progress("failed: " + error);
    }

  private:
    void Progress(const std::string& step) {
        if (!plan_.batch) {
            return;
        }
        const std::string line = result_.port + ": " + step + "\n";
        // With --json, standard output carries the JSON only.
        if (plan_.port.json) {
            console_.Err(line);
        } else {
            console_.Out(line);
        }
    }

    const WritePlan& plan_;
    Console& console_;
    const std::function<void(const std::string&)>& before_verify_;
    PortResult& result_;
};

nlohmann::ordered_json ResultJson(const PortResult& r, bool dry_run) {
    nlohmann::ordered_json j{{"port", r.port}, {"ok", r.ok}, {"dry_run", dry_run}};
    j["error"] = r.ok ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.error);
    if (r.have_settings) {
        nlohmann::ordered_json changes = nlohmann::ordered_json::object();
        for (const Field f : DifferentFields(r.before, r.target)) {
            changes[std::string(FieldKey(f))] = {{"from", FieldJson(f, r.before)},
                                                 {"to", FieldJson(f, r.target)}};
        }
        j["changes"] = changes;
        j["frame"] = r.frame;
    }
    nlohmann::ordered_json mismatched = nlohmann::ordered_json::array();
    for (const Field f : r.mismatched) {
        mismatched.push_back(std::string(FieldKey(f)));
    }
    j["mismatched"] = mismatched;
    return j;
}

std::string SinglePortText(const PortResult& r, const WritePlan& plan) {
    std::string text;
    if (r.have_settings) {
        if (plan.dry_run) {
            text += "Dry run on " + r.port + ", nothing written:\n" +
                    ChangeTable(r.before, r.target, true) + "Frame: " + r.frame + "\n";
            return text;
        }
        const std::string changes = ChangeTable(r.before, r.target, false);
        text += changes.empty()
                    ? "No field changes on " + r.port + "; the same settings are written again.\n"
                    : "Changes on " + r.port + ":\n" + changes;
    }
    if (r.ok) {
        text += plan.verify ? "Written; read back and verified.\n" : "Written (not verified).\n";
    }
    return text;
}

std::string SummaryTable(const std::vector<PortResult>& results, bool dry_run) {
    std::size_t width = 4;
    for (const PortResult& r : results) {
        width = std::max(width, r.port.size());
    }
    auto pad = [](std::string s, std::size_t w) {
        s.resize(std::max(w, s.size()), ' ');
        return s;
    };
    std::string text = pad("PORT", width + 2) + pad("NODE ID", 9) + "RESULT\n";
    for (const PortResult& r : results) {
        const std::string node = r.have_settings ? FieldText(Field::NodeId, r.target)
                                 : r.node_id     ? std::to_string(*r.node_id)
                                                 : "-";
        const std::string outcome = !r.ok ? "failed: " + r.error : dry_run ? "dry run" : "ok";
        text += pad(r.port, width + 2) + pad(node, 9) + outcome + "\n";
    }
    return text;
}

class WriteCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand(
            "write", "Read the module, apply the given fields, write, read back and compare");
        ports_.Add(*sub, true);
        settings_.Add(*sub);
        sub->add_flag("--no-verify", no_verify_, "Do not read back after writing");
        sub->add_flag("--dry-run", dry_run_,
                      "Read the module and show the change and the frame; write nothing");
        step_option_ = sub->add_option("--node-id-step", step_,
                                       "Node ids start, start+K, ... for the ports in order")
                           ->type_name("K");
        return sub;
    }

    int Run(RunContext& ctx) override {
        WritePlan plan;
        plan.port = Check(ports_);
        plan.change = Check(settings_);
        plan.verify = !no_verify_;
        plan.dry_run = dry_run_;
        plan.batch = plan.port.ports.size() > 1;
        std::optional<std::uint16_t> step;
        if (step_option_->count() > 0) {
            step = ParseNodeIdStep(step_, "--node-id-step");
        }
        if (plan.change.Empty()) {
            throw UsageError(
                "write: nothing to change; give a settings option (--frequency, --power, ...) "
                "or --profile");
        }

        std::vector<PortResult> results(plan.port.ports.size());
        for (std::size_t i = 0; i < results.size(); ++i) {
            results[i].port = plan.port.ports[i];
            results[i].node_id = plan.change.node_id;
        }
        if (step) {
            if (!plan.change.node_id) {
                throw UsageError(
                    "--node-id-step: needs the first node id, from --node-id or node_id in "
                    "the profile");
            }
            const long long last =
                *plan.change.node_id + static_cast<long long>(*step) * (results.size() - 1);
            if (last > 65535) {
                throw UsageError("--node-id-step: " + std::to_string(results.size()) +
                                 " ports from node id " + std::to_string(*plan.change.node_id) +
                                 " in steps of " + std::to_string(*step) + " run to " +
                                 std::to_string(last) + "; node ids go from 0 to 65535");
            }
            for (std::size_t i = 0; i < results.size(); ++i) {
                results[i].node_id = static_cast<std::uint16_t>(*plan.change.node_id + *step * i);
            }
        }

        // Everything is checked; only now is any port opened.
        auto write_one = [&plan, &ctx](PortResult& result) {
            PortWriter writer(plan, ctx, result);
            try {
                writer.Run();
            } catch (const std::exception& e) {
                writer.Fail(std::string("internal error: ") + e.what());
            }
        };
        if (plan.batch) {
            std::vector<std::thread> threads;
            threads.reserve(results.size());
            for (PortResult& r : results) {
                try {
                    threads.emplace_back(write_one, std::ref(r));
                } catch (const std::system_error&) {
                    // Out of threads: this port is not touched; the others go on.
                    r.error = "not written: no thread could be started for it";
                }
            }
            for (std::thread& t : threads) {
                t.join();
            }
        } else {
            write_one(results.front());
        }

        const bool all_ok =
            std::all_of(results.begin(), results.end(), [](const PortResult& r) { return r.ok; });
        if (plan.port.json) {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (const PortResult& r : results) {
                list.push_back(ResultJson(r, plan.dry_run));
            }
            ctx.console.Out(list.dump(2) + "\n");
        } else if (plan.batch) {
            std::string text;
            if (plan.dry_run) {
                for (const PortResult& r : results) {
                    if (r.have_settings) {
                        text += SinglePortText(r, plan);
                    }
                }
            }
            ctx.console.Out(text + SummaryTable(results, plan.dry_run));
        } else {
            ctx.console.Out(SinglePortText(results.front(), plan));
        }
        if (!plan.batch && !results.front().ok) {
            ctx.console.Error(results.front().port + ": " + results.front().error);
        }
        return all_ok ? kExitOk : kExitDevice;
    }

  private:
    PortOptions ports_;
    SettingsOptions settings_;
    bool no_verify_ = false;
    bool dry_run_ = false;
    std::string step_;
    CLI::Option* step_option_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> MakeWriteCommand() {
    return std::make_unique<WriteCommand>();
}

}  // namespace tovra::cli
