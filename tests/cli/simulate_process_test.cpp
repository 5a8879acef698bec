#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_runner.h"

extern char** environ;

namespace tovra::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// `tovra-rf simulate ...` as a child process with its standard output in a file.
class SimulateProcess {
  public:
    explicit SimulateProcess(const std::vector<std::string>& options) {
        dir_ = fs::path(::testing::TempDir()) / ("tovra-sim-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        link_ = (dir_ / "sim0").string();
        out_ = (dir_ / "out.txt").string();
        std::vector<std::string> args{TOVRA_RF_BINARY, "simulate", "--link", link_};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        spawned_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimulateProcess() {
        if (spawned_ && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    bool Spawned() const { return spawned_; }
    const std::string& Link() const { return link_; }
    std::string Output() const {
        std::ifstream in(out_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Sends sig and waits for the exit; the exit status, or -1.
    int Stop(int sig) {
        kill(pid_, sig);
        int status = 0;
        const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
        reaped_ = ended;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    fs::path dir_;
    std::string link_;
    std::string out_;
    pid_t pid_ = -1;
    bool spawned_ = false;
    bool reaped_ = false;
};

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(path, ec);
}

TEST(Simulate, ServesOnItsLinkUntilTermAndRemovesTheLink) {
    SimulateProcess sim({"--power", "3", "--module-version", "v1.8"});
    ASSERT_TRUE(sim.Spawned());
    ASSERT_TRUE(WaitUntil([&] { return Exists(sim.Link()); })) << sim.Output();

    const CliResult read = RunTool({"read", "--port", sim.Link(), "--json"});
    ASSERT_EQ(read.code, kExitOk) << read.err;
    EXPECT_EQ(nlohmann::json::parse(read.out)["power"], 3);
    EXPECT_EQ(RunTool({"version", "--port", sim.Link()}).out, "Version: v1.8\n");

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_FALSE(Exists(sim.Link())) << "the link outlived the simulator";
    const std::string out = sim.Output();
    EXPECT_NE(out.find("Simulated module on /dev/"), std::string::npos) << out;
    EXPECT_NE(out.find("Link: " + sim.Link()), std::string::npos) << out;
}

TEST(Simulate, LostPortExitsOneAndAFreshPortFollows) {
    SimulateProcess sim({"--lose-after", "1"});
    ASSERT_TRUE(sim.Spawned());
    ASSERT_TRUE(WaitUntil([&] { return Exists(sim.Link()); })) << sim.Output();

    ASSERT_EQ(RunTool({"read", "--port", sim.Link()}).code, kExitOk);
    // The one reply is used up: the next request loses the port.
    const CliResult lost = RunTool({"read", "--port", sim.Link(), "--timeout", "2"});
    EXPECT_EQ(lost.code, kExitDevice);
    // As with an adapter plugged back in, the link points at a fresh port.
    EXPECT_TRUE(WaitUntil([&] {
        return RunTool({"read", "--port", sim.Link(), "--timeout", "0.5"}).code == kExitOk;
    }));
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_NE(sim.Output().find("Port lost"), std::string::npos) << sim.Output();
}

TEST(Simulate, BadOptionsExitTwoBeforeStarting) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"simulate", "--delay", "-5"},
                                               {"simulate", "--lose-after", "many"},
                                               {"simulate", "--power", "9"},
                                               {"simulate", "--module-version", "v3"}}) {
        const CliResult r = RunTool(args);
        EXPECT_EQ(r.code, kExitUsage) << args[1];
        EXPECT_NE(r.err.find(args[1]), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tovra::cli
