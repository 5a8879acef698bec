#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli_runner.h"
#include "sim_module.h"

namespace tovra::cli {
namespace {

// Replaced by the simulated module's port in the arguments.
const std::string kPort = "{port}";

struct BadInput {
    std::string name;
    std::vector<std::string> args;
    std::string message_part;  // the option and its valid range, or what is wrong
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const BadInput& c, std::ostream* os) {
    *os << c.name;
}

class BadInputs : public ::testing::TestWithParam<BadInput> {
  protected:
    // Profiles named by the cases as {bad_key}, {bad_value}, {not_json}; written per test,
    // since ctest runs the cases as parallel processes.
    void SetUp() override {
        for (const auto& [key, text] : std::vector<std::pair<std::string, std::string>>{
                 {"{bad_key}", R"({"power": 5, "colour": "red"})"},
                 {"{bad_value}", R"({"power": 8})"},
                 {"{not_json}", "power=5"}}) {
            const std::string path = UniqueTempPath(key.substr(1, key.size() - 2) + ".json");
            std::ofstream(path) << text;
            profiles_[key] = path;
        }
    }
    void TearDown() override {
        for (const auto& [key, path] : profiles_) {
            std::remove(path.c_str());
        }
    }
    std::map<std::string, std::string> profiles_;
};

TEST_P(BadInputs, ExitTwoWithAClearMessageAndNothingSent) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    std::vector<std::string> args;
    for (std::string a : GetParam().args) {
        if (a == kPort) {
            a = module.Port();
        } else if (profiles_.count(a) != 0) {
            a = profiles_[a];
        }
        args.push_back(a);
    }
    const CliResult r = RunTool(args);
    EXPECT_EQ(r.code, kExitUsage) << r.out << r.err;
    EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    // A good read afterwards is the only traffic the module ever saw: bytes of an earlier
    // request would have arrived before it.
    ASSERT_EQ(RunTool({"read", "--port", module.Port()}).code, kExitOk);
    EXPECT_EQ(module->Received().size(), 23u) << "the bad run sent something";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadInputs,
    ::testing::Values(
        BadInput{
            "baud", {"read", "--port", kPort, "--baud", "9601"}, "--baud: must be one of 1200"},
        BadInput{"parity",
                 {"read", "--port", kPort, "--parity", "mark"},
                 "--parity: must be none, odd or even"},
        BadInput{"timeout_zero", {"read", "--port", kPort, "--timeout", "0"}, "--timeout: must be"},
        BadInput{"timeout_text", {"version", "--port", kPort, "--timeout", "soon"}, "--timeout"},
        BadInput{"read_two_ports", {"read", "--port", kPort, "--port", kPort}, "--port"},
        BadInput{"read_no_port", {"read"}, "--port"},
        BadInput{"read_stray_argument", {"read", "--port", kPort, "now"}, "--port"},
        BadInput{"unknown_option", {"read", "--port", kPort, "--colour", "red"}, "--colour"},
        BadInput{"frequency_low",
                 {"write", "--port", kPort, "--frequency", "139.99"},
                 "--frequency: must be a frequency in MHz from 140.00 to 990.00"},
        BadInput{"frequency_high", {"write", "--port", kPort, "--frequency", "1000"}, "990.00"},
        BadInput{
            "frequency_text", {"write", "--port", kPort, "--frequency", "fast"}, "--frequency"},
        BadInput{"spreading_factor",
                 {"write", "--port", kPort, "--spreading-factor", "100"},
                 "--spreading-factor: must be one of 128, 256, 512, 1024, 2048, 4096"},
        BadInput{"mode",
                 {"write", "--port", kPort, "--mode", "turbo"},
                 "--mode: must be normal or saving"},
        BadInput{"bandwidth",
                 {"write", "--port", kPort, "--bandwidth", "1M"},
                 "--bandwidth: must be one of 62.5K, 125K, 250K, 500K"},
        BadInput{"power_high",
                 {"write", "--port", kPort, "--power", "8"},
                 "--power: must be a whole number from 1 to 7"},
        BadInput{"power_negative", {"write", "--port", kPort, "--power", "-3"}, "--power"},
        BadInput{"node_id",
                 {"write", "--port", kPort, "--node-id", "65536"},
                 "--node-id: must be a whole number from 0 to 65535"},
        BadInput{"net_id",
                 {"write", "--port", kPort, "--net-id", "256"},
                 "--net-id: must be a whole number from 0 to 255"},
        BadInput{"module_baud",
                 {"write", "--port", kPort, "--module-baud", "14400"},
                 "--module-baud: must be one of"},
        BadInput{"module_parity",
                 {"write", "--port", kPort, "--module-parity", "space"},
                 "--module-parity"},
        BadInput{"bad_value_after_good_ones",
                 {"write", "--port", kPort, "--power", "3", "--frequency", "868", "--net-id", "x"},
                 "--net-id"},
        BadInput{"nothing_to_write", {"write", "--port", kPort}, "nothing to change"},
        BadInput{"same_port_twice",
                 {"write", "--port", kPort, "--port", kPort, "--power", "3"},
                 "given twice"},
        BadInput{"step_without_start",
                 {"write", "--port", kPort, "--power", "3", "--node-id-step", "1"},
                 "--node-id-step: needs the first node id"},
        BadInput{"step_zero",
                 {"write", "--port", kPort, "--node-id", "1", "--node-id-step", "0"},
                 "--node-id-step: must be a whole number from 1 to 65535"},
        BadInput{"step_runs_past_65535",
                 {"write", "--port", kPort, "--port", "/dev/tovra-never-opened", "--node-id",
                  "65000", "--node-id-step", "600"},
                 "run to 65600"},
        BadInput{"too_many_ports",
                 [] {
                     std::vector<std::string> args{"write", "--power", "3", "--port", kPort};
                     for (int i = 0; i < 64; ++i) {
                         args.insert(args.end(), {"--port", "/dev/tovra-never-" + std::to_string(i)});
                     }
                     return args;
                 }(),
                 "--port: at most 64 ports"},
        BadInput{"profile_missing",
                 {"write", "--port", kPort, "--profile", "/nonexistent/p.json"},
                 "--profile: cannot read"},
        BadInput{"profile_unknown_key",
                 {"write", "--port", kPort, "--profile", "{bad_key}"},
                 "colour: unknown key"},
        BadInput{"profile_bad_value",
                 {"write", "--port", kPort, "--profile", "{bad_value}"},
                 "power: must be a whole number from 1 to 7"},
        BadInput{"profile_not_json",
                 {"write", "--port", kPort, "--profile", "{not_json}"},
                 "not valid JSON"},
        BadInput{"version_set",
                 {"version", "--port", kPort, "--set", "v2.0"},
                 "--set: must be v1.7 or v1.8"},
        BadInput{"detect_baud", {"detect", "--port", kPort, "--baud", "300"}, "--baud"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tovra::cli
