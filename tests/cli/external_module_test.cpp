#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_runner.h"

namespace tovra::cli {
namespace {

// A module outside this process, named by TOVRA_TEST_MODULE_PORT: under Wine, a COM port
// linked to a native `tovra-rf simulate`. Without it these tests are skipped.
std::string ExternalPort() {
    const char* port = std::getenv("TOVRA_TEST_MODULE_PORT");
    return port != nullptr ? port : "";
}

class ExternalModule : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = ExternalPort();
        if (port_.empty()) {
            GTEST_SKIP() << "TOVRA_TEST_MODULE_PORT is not set";
        }
    }
    std::string port_;
};

TEST_F(ExternalModule, WriteVerifyAndReadBack) {
    CliResult r = RunTool(
        {"write", "--port", port_, "--power", "3", "--net-id", "17", "--frequency", "868.125"});
    ASSERT_EQ(r.code, kExitOk) << r.out << r.err;
    r = RunTool({"read", "--port", port_, "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["power"], 3);
    EXPECT_EQ(j["net_id"], 17);
    EXPECT_EQ(j["frequency_mhz"], 868.13);
    // Back to the window's initial values for the next run.
    r = RunTool({"write", "--port", port_, "--power", "7", "--net-id", "0", "--frequency", "434"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
}

TEST_F(ExternalModule, VersionSetAndRead) {
    ASSERT_EQ(RunTool({"version", "--port", port_, "--set", "v1.8"}).code, kExitOk);
    EXPECT_EQ(RunTool({"version", "--port", port_}).out, "Version: v1.8\n");
    EXPECT_EQ(RunTool({"version", "--port", port_, "--set", "v1.7"}).code, kExitOk);
}

TEST_F(ExternalModule, BadValueExitsTwo) {
    const CliResult r = RunTool({"write", "--port", port_, "--power", "9"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--power: must be a whole number from 1 to 7"), std::string::npos);
}

}  // namespace
}  // namespace tovra::cli
