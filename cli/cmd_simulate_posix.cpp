#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/command.h"
#include "cli/command_options.h"
#include "cli/values.h"
#include "protocol/units.h"
#include "serial/port_list.h"
#include "sim/simulated_module.h"

namespace tovra::cli {

namespace {

// Blocks SIGINT and SIGTERM in this thread (and the threads it starts) while alive, so
// they can be taken with sigtimedwait instead of a handler.
class BlockedStopSignals {
  public:
    BlockedStopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~BlockedStopSignals() {
        // A signal that came meanwhile is taken here rather than killing us on unblock.
        const timespec none{0, 0};
        while (sigtimedwait(&set_, nullptr, &none) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    BlockedStopSignals(const BlockedStopSignals&) = delete;
    BlockedStopSignals& operator=(const BlockedStopSignals&) = delete;

    // True once SIGINT or SIGTERM arrived; false after the wait time without one.
    bool Wait(long milliseconds) const {
        const timespec wait{milliseconds / 1000, (milliseconds % 1000) * 1000000};
        return sigtimedwait(&set_, nullptr, &wait) > 0;
    }

  private:
    sigset_t set_;
    sigset_t previous_;
};

class SimulateCommand : public Command {
  public:
    CLI::App* Register(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand(
            "simulate", "Run a simulated module on a pseudo-terminal until Ctrl+C");
        sub->add_option("--link", link_,
                        "Link to create for the port (default: sim0 in the "
                        "virtual port directory)")
            ->type_name("PATH");
        settings_.Add(*sub);
        sub->add_option("--module-version", version_,
                        "Version selector to start with: v1.7 "
                        "or v1.8")
            ->type_name("VERSION")
            ->capture_default_str();
        sub->add_flag("--no-reply", faults_.no_reply, "Fault: swallow every request");
        sub->add_flag("--bad-checksum", faults_.bad_checksum, "Fault: corrupt every checksum");
        sub->add_option("--delay", delay_, "Fault: wait MS milliseconds before replying")
            ->type_name("MS");
        sub->add_option("--split-gap", split_gap_,
                        "Fault: send replies a byte at a time, MS milliseconds apart")
            ->type_name("MS");
        sub->add_option("--noise", noise_, "Fault: N random bytes before each reply")
            ->type_name("N");
        sub->add_flag("--short-reply", faults_.short_reply,
                      "Fault: answer settings requests with a short reply");
        sub->add_flag("--pace", faults_.pace, "Send at the module's line speed");
        sub->add_flag("--match-line", faults_.match_line,
                      "Answer only when the line's speed and parity match the module's UART");
        sub->add_option("--lose-after", lose_after_,
                        "Fault: close the port after N replies (a fresh one follows)")
            ->type_name("N");
        return sub;
    }

    int Run(RunContext& ctx) override {
        sim::Faults faults = faults_;
        if (!delay_.empty()) {
            faults.delay_ms = static_cast<int>(ParseInteger(delay_, 0, 60000, "--delay"));
        }
        if (!split_gap_.empty()) {
            faults.split_gap_ms =
                static_cast<int>(ParseInteger(split_gap_, 0, 10000, "--split-gap"));
        }
        if (!noise_.empty()) {
            faults.noise_bytes = static_cast<std::size_t>(ParseInteger(noise_, 0, 4096, "--noise"));
        }
        if (!lose_after_.empty()) {
            faults.lose_after =
                static_cast<int>(ParseInteger(lose_after_, 0, 1000000, "--lose-after"));
        }
        ModuleSettings initial = InitialWindowSettings();
        ApplyChange(Check(settings_), initial);
        initial.VersionCode = ParseVersionName(version_, "--module-version");
        std::string link = link_;
        if (link.empty() && !VirtualPortDirectory().empty()) {
            link = VirtualPortDirectory() + "/sim0";
        }

        const BlockedStopSignals signals;
        sim::SimulatedModule module(initial, faults);
        if (!module.Start(link)) {
            ctx.console.Error("simulate: cannot start: " + module.LastError());
            return kExitDevice;
        }
        Announce(ctx, module);
        ctx.console.Out("Stop with Ctrl+C.\n");
        while (!signals.Wait(200)) {
            if (!module.PortLost()) {
                continue;
            }
            // As with an adapter plugged back in: a fresh port under the same link.
            ctx.console.Out("Port lost (after " + std::to_string(module.RepliesSent()) +
                            " replies); opening a fresh one.\n");
            if (!module.Restart()) {
                ctx.console.Error("simulate: cannot reopen: " + module.LastError());
                return kExitDevice;
            }
            Announce(ctx, module);
        }
        module.Stop();
        ctx.console.Out("Stopped.\n");
        return kExitOk;
    }

  private:
    static void Announce(RunContext& ctx, const sim::SimulatedModule& module) {
        std::string text = "Simulated module on " + module.PortPath() + "\n";
        if (!module.LinkPath().empty()) {
            text += "Link: " + module.LinkPath() + "\n";
        }
        ctx.console.Out(text);
    }

    std::string link_;
    SettingsOptions settings_;
    std::string version_ = "v1.7";
    sim::Faults faults_;
    std::string delay_, split_gap_, noise_, lose_after_;
};

}  // namespace

std::unique_ptr<Command> MakeSimulateCommand() {
    return std::make_unique<SimulateCommand>();
}

}  // namespace tovra::cli
