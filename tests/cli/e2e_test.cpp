#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/hex.h"
#include "cli_runner.h"
#include "protocol/frame.h"
#include "sim_module.h"

namespace tovra::cli {
namespace {

using std::chrono_literals::operator""ms;

// Failure paths wait this long for a reply; good paths keep the default of 3 s.
const std::string kShortTimeout = "0.5";
// Where one run both waits out a silence and needs good replies in time on a loaded machine.
const std::string kSilentWait = "2";

ModuleSettings Distinct() {
    ModuleSettings s = InitialWindowSettings();
    s.RfFrequency = 868.0;
    s.RfFactor = 9;
    s.RfMode = 1;
    s.RfBw = 8;
    s.CustID_H = 0x01;
    s.CustID_L = 0x02;
    s.NetID = 3;
    s.Power = 5;
    s.McuParity = 0;
    return s;
}

TEST(CliRead, TableInTheWindowsUnits) {
    SimModule module(Distinct());
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"read", "--port", module.Port()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "frequency         868.00 MHz\n"
              "spreading factor  512 chips\n"
              "mode              Saving\n"
              "bandwidth         250K\n"
              "power             5\n"
              "node id           258\n"
              "net id            3\n"
              "module baud       9600\n"
              "module parity     none\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(CliRead, JsonKeysAndRawBytes) {
    SimModule module(Distinct());
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"read", "--port", module.Port(), "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j, nlohmann::json::parse(R"({
        "frequency_mhz": 868.0, "spreading_factor": 512, "mode": "saving", "bandwidth": "250K",
        "power": 5, "node_id": 258, "net_id": 3, "module_baud": 9600, "module_parity": "none",
        "raw": ")" + FormatHex(module->SettingsBytes()) +
                                       R"("})"));
}

TEST(CliRead, UnknownCodesPrintRawValuesAndNull) {
    ModuleSettings s = Distinct();
    s.RfFactor = 13;
    s.Power = 0;
    s.McuParity = 3;
    SimModule module(s);
    ASSERT_TRUE(module.Started());
    const CliResult table = RunTool({"read", "--port", module.Port()});
    ASSERT_EQ(table.code, kExitOk) << table.err;
    EXPECT_NE(table.out.find("spreading factor  unknown (0x0D)"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("power             unknown (0x00)"), std::string::npos);
    EXPECT_NE(table.out.find("module parity     unknown (0x03)"), std::string::npos);
    const nlohmann::json j =
        nlohmann::json::parse(RunTool({"read", "--port", module.Port(), "--json"}).out);
    EXPECT_TRUE(j["spreading_factor"].is_null());
    EXPECT_TRUE(j["power"].is_null());
    EXPECT_TRUE(j["module_parity"].is_null());
}

TEST(CliRead, TraceShowsBothFramesOnStderr) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"read", "--port", module.Port(), "--trace"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.err.find(" TX AF AF 00 00 AF 80 02 0C 00"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" RX AF AF 00 00 AF 80 02 0C 04 00 6C 80 12"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("AF AF"), std::string::npos) << "trace must stay off standard output";
}

// Each failing reply ends in exit 1 with a reason.
struct FailureCase {
    std::string name;
    sim::Faults faults;
    std::string reason;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class CliReadFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CliReadFailure, ExitsOneWithTheReason) {
    SimModule module(InitialWindowSettings(), GetParam().faults);
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"read", "--port", module.Port(), "--timeout", kShortTimeout});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(GetParam().reason), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliReadFailure,
    ::testing::Values(FailureCase{"no_reply", {.no_reply = true}, "no reply within 0.5 s"},
                      FailureCase{"bad_checksum", {.bad_checksum = true}, "checksum"},
                      FailureCase{"short_reply", {.short_reply = true}, "without its settings"},
                      FailureCase{"lost_port", {.lose_after = 0}, "port was lost"}),
    [](const auto& info) { return info.param.name; });

TEST(CliRead, PortThatCannotBeOpenedExitsOneWithTheReason) {
    const CliResult r = RunTool({"read", "--port", "/nonexistent/tty-tovra"});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("cannot open /nonexistent/tty-tovra"), std::string::npos) << r.err;
}

TEST(CliRead, AnswersDespiteNoiseSplitAndDelay) {
    SimModule module(Distinct(), {.delay_ms = 50, .split_gap_ms = 2, .noise_bytes = 17});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"read", "--port", module.Port(), "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["node_id"], 258);
}

TEST(CliWrite, AppliesOnlyTheGivenFieldsAndVerifies) {
    SimModule module(Distinct());
    ASSERT_TRUE(module.Started());
    const CliResult r =
        RunTool({"write", "--port", module.Port(), "--frequency", "433.125", "--power", "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("frequency         868.00 MHz -> 433.13 MHz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("power             5 -> 2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("verified"), std::string::npos);
    EXPECT_EQ(module->RequestsSeen(), 3u) << "read, write, read back";

    ModuleSettings expected = Distinct();
    expected.RfFrequency = 433.13;
    expected.Power = 2;
    EXPECT_EQ(module->SettingsBytes(), EncodeSettingsBlock(expected));
}

TEST(CliWrite, RepeatedWritesDoNotMoveTheFrequency) {
    // 434.00 reads back as 434.0010986...; writing what was read must send 6C 80 12 again.
    SimModule module;
    ASSERT_TRUE(module.Started());
    for (const char* power : {"3", "4"}) {
        ASSERT_EQ(RunTool({"write", "--port", module.Port(), "--power", power}).code, kExitOk);
        const SettingsBlock b = module->SettingsBytes();
        EXPECT_EQ(FormatHex(std::span(b).subspan(2, 3)), "6C 80 12");
    }
}

TEST(CliWrite, VerifyMismatchNamesTheFieldsAndExitsOne) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    // Between the write and the read-back the module takes other values, as a module that
    // refuses a field would.
    auto tamper = [&module](const std::string&) {
        ModuleSettings s = module->Settings();
        s.Power = 1;
        s.NetID = 99;
        module->SetSettings(s);
    };
    const CliResult r =
        RunTool({"write", "--port", module.Port(), "--power", "6", "--net-id", "7"}, "", tamper);
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("power wrote 6, read 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("net id wrote 7, read 99"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("frequency"), std::string::npos) << "unchanged fields are not named";
}

TEST(CliWrite, NoVerifySkipsTheReadBack) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"write", "--port", module.Port(), "--power", "6", "--no-verify"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(module->RequestsSeen(), 2u);
    EXPECT_EQ(module->Settings().Power, 6);
}

TEST(CliWrite, SettingsTheFramingCannotCarryAreRefusedUnsent) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    // Node id 0xAFAF: two sync bytes inside the frame, which no receiver can take whole.
    const CliResult r = RunTool({"write", "--port", module.Port(), "--node-id", "44975"});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("two 0xAF bytes in a row"), std::string::npos) << r.err;
    EXPECT_EQ(module->Received().size(), 23u) << "only the Read All went out";
}

TEST(CliWrite, DryRunShowsTheChangeAndTheFrameAndWritesNothing) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    const CliResult r =
        RunTool({"write", "--port", module.Port(), "--frequency", "868", "--dry-run"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("frequency         434.00 MHz -> 868.00 MHz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("power             7 (unchanged)"), std::string::npos) << r.out;
    ModuleSettings planned = InitialWindowSettings();
    planned.RfFrequency = 868.0;
    EXPECT_NE(r.out.find("Frame: " + FormatHex(BuildWriteAllFrame(planned))), std::string::npos)
        << r.out;
    EXPECT_EQ(module->Received().size(), 23u) << "only the Read All went out";
    EXPECT_EQ(module->SettingsBytes(), EncodeSettingsBlock(InitialWindowSettings()));
}

TEST(CliWrite, FailureOfTheWriteReplyExitsOne) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    // The read is answered; the write request then finds the port gone.
    module->SetFaults({.lose_after = 1});
    const CliResult r = RunTool({"write", "--port", module.Port(), "--power", "2"});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("writing:"), std::string::npos) << r.err;
}

TEST(CliWrite, NewModuleSpeedIsVerifiedAtThatSpeed) {
    // The module answers only at its own UART setting, which the write changes. (Odd parity
    // throughout: a pseudo-terminal keeps PARODD, so the module can tell it from none.)
    ModuleSettings s = InitialWindowSettings();
    s.McuParity = 1;
    SimModule module(s, {.match_line = true});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"write", "--port", module.Port(), "--parity", "odd",
                                 "--module-baud", "19200", "--timeout", kSilentWait});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(module->Settings().McuBaudCode, 5);
    // Read, write, and the read-back at 19200; the one at 9600 was garbage to the module.
    EXPECT_EQ(module->RequestsSeen(), 3u);
}

TEST(CliWrite, ProfileFromReadJsonClonesAModule) {
    SimModule source(Distinct());
    SimModule target;
    ASSERT_TRUE(source.Started() && target.Started());
    const CliResult read = RunTool({"read", "--port", source.Port(), "--json"});
    ASSERT_EQ(read.code, kExitOk) << read.err;
    const std::string path = UniqueTempPath("clone_profile.json");
    std::ofstream(path) << read.out;

    const CliResult write = RunTool({"write", "--port", target.Port(), "--profile", path});
    std::remove(path.c_str());
    ASSERT_EQ(write.code, kExitOk) << write.err;
    EXPECT_EQ(target->SettingsBytes(), source->SettingsBytes());
}

TEST(CliWrite, OptionsOverrideTheProfile) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    const std::string path = UniqueTempPath("override_profile.json");
    std::ofstream(path) << R"({"power": 2, "net_id": 9})";
    const CliResult r =
        RunTool({"write", "--port", module.Port(), "--profile", path, "--power", "4"});
    std::remove(path.c_str());
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(module->Settings().Power, 4);
    EXPECT_EQ(module->Settings().NetID, 9);
}

TEST(CliBatch, NodeIdsStepAcrossThePortsInOrder) {
    SimModule a, b, c;
    ASSERT_TRUE(a.Started() && b.Started() && c.Started());
    const CliResult r =
        RunTool({"write", "--port", a.Port(), "--port", b.Port(), "--port", c.Port(), "--node-id",
                 "100", "--node-id-step", "10", "--power", "3"});
    ASSERT_EQ(r.code, kExitOk) << r.out << r.err;
    unsigned expected = 100;
    for (SimModule* m : {&a, &b, &c}) {
        const ModuleSettings s = (*m)->Settings();
        EXPECT_EQ(s.CustID_H * 256u + s.CustID_L, expected);
        EXPECT_EQ(s.Power, 3);
        EXPECT_NE(r.out.find(m->Port() + ": written and verified"), std::string::npos) << r.out;
        const std::regex row("\\n" + m->Port() + " +" + std::to_string(expected) + " +ok\\n");
        EXPECT_TRUE(std::regex_search(r.out, row)) << "summary row\n" << r.out;
        expected += 10;
    }
    EXPECT_NE(r.out.find("PORT"), std::string::npos);
}

TEST(CliBatch, OneFailingModuleFailsTheRunButNotTheOthers) {
    SimModule good1, good2;
    SimModule silent(InitialWindowSettings(), {.no_reply = true});
    ASSERT_TRUE(good1.Started() && good2.Started() && silent.Started());
    const CliResult r =
        RunTool({"write", "--port", good1.Port(), "--port", silent.Port(), "--port", good2.Port(),
                 "--net-id", "42", "--timeout", kSilentWait, "--json"});
    EXPECT_EQ(r.code, kExitDevice);
    const nlohmann::json j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 3u);
    EXPECT_TRUE(j[0]["ok"].get<bool>());
    EXPECT_FALSE(j[1]["ok"].get<bool>());
    EXPECT_NE(j[1]["error"].get<std::string>().find("no reply"), std::string::npos);
    EXPECT_TRUE(j[2]["ok"].get<bool>());
    EXPECT_EQ(good1->Settings().NetID, 42);
    EXPECT_EQ(good2->Settings().NetID, 42);
}

TEST(CliVersion, ReadThenSetThenRead) {
    SimModule module;
    ASSERT_TRUE(module.Started());
    CliResult r = RunTool({"version", "--port", module.Port()});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Version: v1.7\n");

    r = RunTool({"version", "--port", module.Port(), "--set", "v1.8"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(module->Settings().VersionCode, 1);

    r = RunTool({"version", "--port", module.Port(), "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(R"({"version":"v1.8","code":1})"));
}

TEST(CliVersion, TimeOutExitsOne) {
    SimModule module(InitialWindowSettings(), {.no_reply = true});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"version", "--port", module.Port(), "--timeout", kShortTimeout});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("no reply"), std::string::npos) << r.err;
}

TEST(CliDetect, FindsTheModulesSpeedAndParity) {
    // 19200 none is the fifth try: 9600, 1200, 2400 and 4800 pass in silence first.
    ModuleSettings s = InitialWindowSettings();
    s.McuBaudCode = 5;
    SimModule module(s, {.match_line = true});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"detect", "--port", module.Port(), "--timeout", "1", "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["baud"], 19200);
    EXPECT_EQ(j["parity"], "none");
}

TEST(CliDetect, TellsOddParityFromNone) {
    ModuleSettings s = InitialWindowSettings();
    s.McuParity = 1;
    SimModule module(s, {.match_line = true});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"detect", "--port", module.Port(), "--parity", "odd", "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["baud"], 9600);
    EXPECT_EQ(j["parity"], "odd");
}

TEST(CliDetect, SilentModuleExitsOne) {
    SimModule module(InitialWindowSettings(), {.no_reply = true});
    ASSERT_TRUE(module.Started());
    const CliResult r = RunTool({"detect", "--port", module.Port(), "--timeout", "0.05"});
    EXPECT_EQ(r.code, kExitDevice);
    EXPECT_NE(r.err.find("no answer at any speed and parity"), std::string::npos) << r.err;
    // Every speed and parity tried once; the last request may still be on its way.
    EXPECT_TRUE(module->WaitForRequests(24, 10000ms));
    EXPECT_EQ(module->Received().size(), 24u * 23u);
}

}  // namespace
}  // namespace tovra::cli
