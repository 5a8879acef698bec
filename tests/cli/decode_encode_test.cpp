#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/hex.h"
#include "cli_runner.h"
#include "protocol/frame.h"

namespace tovra::cli {
namespace {

struct EncodeCase {
    std::string name;
    std::vector<std::string> args;
    std::string frame;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Encode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encode, PrintsTheRequestFrame) {
    const CliResult r = RunTool(GetParam().args);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, GetParam().frame + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, Encode,
    ::testing::Values(
        EncodeCase{"read_all",
                   {"encode", "read-all"},
                   "AF AF 00 00 AF 80 02 0C 00 00 00 00 00 00 00 00 00 00 00 00 9B 0D 0A"},
        EncodeCase{"write_all_initial",
                   {"encode", "write-all"},
                   "AF AF 00 00 AF 80 01 0C 04 00 6C 80 12 0B 00 07 00 00 00 07 B5 0D 0A"},
        EncodeCase{
            "write_all_fields",
            {"encode",          "write-all", "--frequency",        "868", "--power",  "5",
             "--module-baud",   "115200",    "--node-id",          "258", "--net-id", "3",
             "--bandwidth",     "500",       "--spreading-factor", "128", "--mode",   "saving",
             "--module-parity", "even"},
            "AF AF 00 00 AF 80 01 0C 00 02 D9 00 24 07 01 09 01 02 03 05 B5 0D 0A"},
        EncodeCase{
            "version_read", {"encode", "version-read"}, "AF AF 00 00 AF 80 81 02 00 00 10 0D 0A"},
        EncodeCase{"version_write_17",
                   {"encode", "version-write", "v1.7"},
                   "AF AF 00 00 AF 80 80 02 00 00 0F 0D 0A"},
        EncodeCase{"version_write_18",
                   {"encode", "version-write", "V1.8"},
                   "AF AF 00 00 AF 80 80 02 01 00 10 0D 0A"}),
    [](const auto& info) { return info.param.name; });

TEST(Encode, BadValuesExitTwo) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"encode", "version-write", "v2"},
                                               {"encode", "write-all", "--power", "9"},
                                               {"encode"},
                                               {"encode", "read-everything"}}) {
        const CliResult r = RunTool(args);
        EXPECT_EQ(r.code, kExitUsage) << args.back();
        EXPECT_TRUE(r.out.empty());
        EXPECT_FALSE(r.err.empty());
    }
}

std::string Reply(std::uint8_t command, std::vector<std::uint8_t> payload, bool corrupt = false) {
    std::vector<std::uint8_t> f = BuildFrame(kRequestHeader, command, payload);
    if (corrupt) {
        f[f.size() - 3] ^= 0x01;
    }
    return FormatHex(f);
}

const std::vector<std::uint8_t> kInitialBlock{0x04, 0x00, 0x6C, 0x80, 0x12, 0x0B,
                                              0x00, 0x07, 0x00, 0x00, 0x00, 0x07};
// Codes no list knows: baud 9, parity 3, factor 13, mode 2, bandwidth 5, power 0.
const std::vector<std::uint8_t> kUnknownBlock{0x09, 0x03, 0x6C, 0x48, 0x00, 0x0D,
                                              0x02, 0x05, 0x01, 0x02, 0x03, 0x00};

struct DecodeCase {
    std::string name;
    std::string input;
    std::vector<std::string> lines;  // expected output, one per frame
    bool json = false;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, OneLinePerFrame) {
    const DecodeCase& c = GetParam();
    std::vector<std::string> args{"decode"};
    if (c.json) {
        args.push_back("--json");
    }
    const CliResult r = RunTool(args, c.input);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::string expected;
    for (const std::string& line : c.lines) {
        expected += line + "\n";
    }
    EXPECT_EQ(r.out, expected);
}

const std::string kInitialText =
    "settings (command 0x02): frequency 434.00 MHz, spreading factor 2048 chips, mode Normal, "
    "bandwidth 125K, power 7, node id 0, net id 0, module baud 9600, module parity none";

INSTANTIATE_TEST_SUITE_P(
    Table, Decode,
    ::testing::Values(
        DecodeCase{"settings", Reply(0x02, kInitialBlock), {kInitialText}},
        DecodeCase{"prefixed_and_commas",
                   [] {
                       std::string s;
                       for (const char c : Reply(0x02, kInitialBlock)) {
                           s += c == ' ' ? std::string(",0x") : std::string(1, c);
                       }
                       return "0x" + s + "\n";
                   }(),
                   {kInitialText}},
        DecodeCase{"noise_before_and_two_frames",
                   "12 34 AF 00\n" + Reply(0x81, {0x01, 0x00}) + "\n" + Reply(0x01, {0x05, 0x00}),
                   {"version (command 0x81): v1.8", "acknowledged (command 0x01, L 2)"}},
        DecodeCase{"checksum_error",
                   Reply(0x02, kInitialBlock, true),
                   {"checksum-error: " + Reply(0x02, kInitialBlock, true)}},
        DecodeCase{"unknown_codes",
                   Reply(0x02, kUnknownBlock),
                   {"settings (command 0x02): frequency 433.13 MHz, spreading factor unknown "
                    "(0x0D), mode unknown (0x02), bandwidth unknown (0x05), power unknown "
                    "(0x00), node id 258, net id 3, module baud unknown (0x09), module parity "
                    "unknown (0x03)"}},
        DecodeCase{"unfinished_frame_prints_nothing", "AF AF 00 00 AF 80 02 0C 04", {}},
        DecodeCase{"empty", "", {}}),
    [](const auto& info) { return info.param.name; });

TEST(Decode, JsonKindsAndFields) {
    const std::string input = Reply(0x02, kUnknownBlock) + " " + Reply(0x80, {0x00, 0x00}) + " " +
                              Reply(0x02, {0x01}) + " " + Reply(0x02, kInitialBlock, true);
    const CliResult r = RunTool({"decode", "--json"}, input);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::vector<nlohmann::json> lines;
    std::istringstream stream(r.out);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(lines.size(), 4u) << r.out;

    const nlohmann::json& s = lines[0];
    EXPECT_EQ(s["kind"], "settings");
    EXPECT_EQ(s["frequency_mhz"], 433.13);  // register 6C 48 00 is exactly 433.125
    EXPECT_TRUE(s["spreading_factor"].is_null());
    EXPECT_TRUE(s["mode"].is_null());
    EXPECT_TRUE(s["bandwidth"].is_null());
    EXPECT_TRUE(s["power"].is_null());
    EXPECT_TRUE(s["module_baud"].is_null());
    EXPECT_TRUE(s["module_parity"].is_null());
    EXPECT_EQ(s["node_id"], 258);
    EXPECT_EQ(s["net_id"], 3);
    EXPECT_EQ(s["raw"], FormatHex(kUnknownBlock));

    EXPECT_EQ(lines[1]["kind"], "version");
    EXPECT_EQ(lines[1]["version"], "v1.7");
    EXPECT_EQ(lines[2]["kind"], "acknowledged");
    EXPECT_EQ(lines[3]["kind"], "checksum-error");
}

TEST(Decode, BadHexExitsTwoAfterTheFramesBeforeIt) {
    const CliResult r = RunTool({"decode"}, Reply(0x81, {0x01, 0x00}) + "\nAF ZZ");
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.out, "version (command 0x81): v1.8\n");
    EXPECT_NE(r.err.find("line 2, column 4"), std::string::npos) << r.err;
}

TEST(Decode, BinaryFile) {
    const std::vector<std::uint8_t> f =
        BuildFrame(kRequestHeader, 0x81, std::vector<std::uint8_t>{1, 0});
    const std::string path = UniqueTempPath("decode_binary.bin");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    }
    const CliResult r = RunTool({"decode", "--binary", path});
    std::remove(path.c_str());
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "version (command 0x81): v1.8\n");

    const CliResult missing = RunTool({"decode", "/nonexistent/input.hex"});
    EXPECT_EQ(missing.code, kExitUsage);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
}

TEST(Cli, HelpAndVersionExitZero) {
    const CliResult help = RunTool({"--help"});
    EXPECT_EQ(help.code, kExitOk);
    for (const char* command :
         {"ports", "read", "write", "version", "detect", "encode", "decode", "simulate"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
    const CliResult write_help = RunTool({"write", "--help"});
    EXPECT_EQ(write_help.code, kExitOk);
    EXPECT_NE(write_help.out.find("--node-id-step"), std::string::npos);

    const CliResult version = RunTool({"--version"});
    EXPECT_EQ(version.code, kExitOk);
    EXPECT_EQ(version.out, std::string("tovra-rf ") + TOVRA_VERSION + "\n");
}

TEST(Cli, NoCommandOrUnknownCommandExitsTwo) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {"frobnicate"}, {"--bogus"}}) {
        const CliResult r = RunTool(args);
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace tovra::cli
