#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/hex.h"
#include "cli/profile.h"
#include "cli/usage_error.h"
#include "cli/values.h"

namespace tovra::cli {
namespace {

// One option value: what it parses to (as a number), or nothing when it must be refused.
struct ValueCase {
    std::string name;
    std::function<double(const std::string&)> parse;
    std::string text;
    std::optional<double> expected;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

double AsNumber(auto v) {
    return static_cast<double>(v);
}

class OptionValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(OptionValues, ParseOrRefuseNamingTheOption) {
    const ValueCase& c = GetParam();
    if (c.expected) {
        EXPECT_DOUBLE_EQ(c.parse(c.text), *c.expected);
        return;
    }
    try {
        c.parse(c.text);
        FAIL() << "accepted " << c.text;
    } catch (const UsageError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("--opt"), std::string::npos) << message;
        EXPECT_NE(message.find("must be"), std::string::npos) << message;
    }
}

const auto kFrequency = [](const std::string& t) { return ParseFrequency(t, "--opt"); };
const auto kFactor = [](const std::string& t) {
    return AsNumber(ParseSpreadingFactor(t, "--opt"));
};
const auto kMode = [](const std::string& t) { return AsNumber(ParseMode(t, "--opt")); };
const auto kBandwidth = [](const std::string& t) { return AsNumber(ParseBandwidth(t, "--opt")); };
const auto kPower = [](const std::string& t) { return AsNumber(ParsePower(t, "--opt")); };
const auto kNodeId = [](const std::string& t) { return AsNumber(ParseNodeId(t, "--opt")); };
const auto kNetId = [](const std::string& t) { return AsNumber(ParseNetId(t, "--opt")); };
const auto kModuleBaud = [](const std::string& t) { return AsNumber(ParseModuleBaud(t, "--opt")); };
const auto kParity = [](const std::string& t) { return AsNumber(ParseParity(t, "--opt")); };
const auto kVersion = [](const std::string& t) { return AsNumber(ParseVersionName(t, "--opt")); };
const auto kTimeout = [](const std::string& t) {
    return AsNumber(ParseTimeout(t, "--opt").count());
};

INSTANTIATE_TEST_SUITE_P(
    Table, OptionValues,
    ::testing::Values(
        // The frequency is taken as the window's edit holds it: two decimals.
        ValueCase{"freq_whole", kFrequency, "868", 868.0},
        ValueCase{"freq_rounds", kFrequency, "433.125", 433.13},
        ValueCase{"freq_rounds_down", kFrequency, "434.0010986", 434.0},
        ValueCase{"freq_low_edge", kFrequency, "140", 140.0},
        ValueCase{"freq_rounds_into_range", kFrequency, "139.996", 140.0},
        ValueCase{"freq_high_edge", kFrequency, "990.00", 990.0},
        ValueCase{"freq_below", kFrequency, "139.99", std::nullopt},
        ValueCase{"freq_above", kFrequency, "990.01", std::nullopt},
        ValueCase{"freq_zero", kFrequency, "0", std::nullopt},
        ValueCase{"freq_negative", kFrequency, "-433", std::nullopt},
        ValueCase{"freq_exponent", kFrequency, "4.33e2", std::nullopt},
        ValueCase{"freq_nan", kFrequency, "nan", std::nullopt},
        ValueCase{"freq_inf", kFrequency, "inf", std::nullopt},
        ValueCase{"freq_comma", kFrequency, "433,5", std::nullopt},
        ValueCase{"freq_two_dots", kFrequency, "433.1.2", std::nullopt},
        ValueCase{"freq_empty", kFrequency, "", std::nullopt},
        ValueCase{"freq_trailing", kFrequency, "433MHz", std::nullopt},
        ValueCase{"freq_huge", kFrequency, std::string(400, '9'), std::nullopt},
        ValueCase{"factor_128", kFactor, "128", 7}, ValueCase{"factor_4096", kFactor, "4096", 12},
        ValueCase{"factor_not_chips", kFactor, "7", std::nullopt},
        ValueCase{"factor_between", kFactor, "1000", std::nullopt},
        ValueCase{"mode_normal", kMode, "normal", 0}, ValueCase{"mode_case", kMode, "Saving", 1},
        ValueCase{"mode_bad", kMode, "fast", std::nullopt},
        ValueCase{"bw_62_5", kBandwidth, "62.5K", 6},
        ValueCase{"bw_lower_k", kBandwidth, "125k", 7}, ValueCase{"bw_no_k", kBandwidth, "250", 8},
        ValueCase{"bw_500", kBandwidth, "500K", 9},
        ValueCase{"bw_bad", kBandwidth, "100K", std::nullopt},
        ValueCase{"bw_kk", kBandwidth, "125KK", std::nullopt}, ValueCase{"power_1", kPower, "1", 1},
        ValueCase{"power_7", kPower, "7", 7}, ValueCase{"power_0", kPower, "0", std::nullopt},
        ValueCase{"power_8", kPower, "8", std::nullopt},
        ValueCase{"power_fraction", kPower, "5.5", std::nullopt},
        ValueCase{"power_plus", kPower, "+5", std::nullopt},
        ValueCase{"node_max", kNodeId, "65535", 65535},
        ValueCase{"node_over", kNodeId, "65536", std::nullopt},
        ValueCase{"node_negative", kNodeId, "-1", std::nullopt},
        ValueCase{"node_overflowing", kNodeId, "99999999999999999999999", std::nullopt},
        ValueCase{"net_max", kNetId, "255", 255},
        ValueCase{"net_over", kNetId, "256", std::nullopt},
        ValueCase{"baud_115200_is_code_0", kModuleBaud, "115200", 0},
        ValueCase{"baud_1200_is_code_1", kModuleBaud, "1200", 1},
        ValueCase{"baud_odd_speed", kModuleBaud, "9601", std::nullopt},
        ValueCase{"parity_even", kParity, "EVEN", 2},
        ValueCase{"parity_mark", kParity, "mark", std::nullopt},
        ValueCase{"version_18", kVersion, "v1.8", 1},
        ValueCase{"version_19", kVersion, "v1.9", std::nullopt},
        ValueCase{"timeout_half", kTimeout, "0.5", 500},
        ValueCase{"timeout_tiny_rounds_up", kTimeout, "0.0001", 1},
        ValueCase{"timeout_zero", kTimeout, "0", std::nullopt},
        ValueCase{"timeout_negative", kTimeout, "-1", std::nullopt},
        ValueCase{"timeout_hour_plus", kTimeout, "3601", std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(RoundToHundredths, AsTheWindowsEditShowsTheValue) {
    struct Case {
        double in, shown;
    };
    for (const Case c : {Case{433.125, 433.13},  // exact binary tie: half away from zero
                         Case{434.0010986328125, 434.0}, Case{990.0018, 990.0}, Case{0.995, 1.0},
                         Case{999.995, 1000.0}, Case{1023.99994, 1024.0}, Case{-433.125, -433.13},
                         Case{0.0, 0.0}, Case{1e300, 1e300}}) {
        EXPECT_DOUBLE_EQ(RoundToHundredths(c.in), c.shown) << c.in;
    }
}

TEST(UsageMessages, ShowTheBadValueSafely) {
    try {
        ParsePower(std::string("9\x1b[2J") + std::string(200, 'x'), "--power");
        FAIL();
    } catch (const UsageError& e) {
        const std::string m = e.what();
        EXPECT_EQ(m.find('\x1b'), std::string::npos) << "control characters reach the terminal";
        EXPECT_LT(m.size(), 200u);
        EXPECT_NE(m.find("from 1 to 7"), std::string::npos) << m;
    }
}

struct HexCase {
    std::string name;
    std::string text;
    std::vector<std::uint8_t> bytes;  // expected, when the text is good
    bool good = true;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const HexCase& c, std::ostream* os) {
    *os << c.name;
}

class HexText : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexText, ReadsBytesOrRefuses) {
    const HexCase& c = GetParam();
    HexTextReader reader;
    std::vector<std::uint8_t> got;
    try {
        for (const char ch : c.text) {
            if (const auto b = reader.Feed(ch)) {
                got.push_back(*b);
            }
        }
        reader.Finish();
    } catch (const UsageError& e) {
        EXPECT_FALSE(c.good) << e.what();
        EXPECT_NE(std::string(e.what()).find("line"), std::string::npos);
        return;
    }
    EXPECT_TRUE(c.good) << "accepted " << c.text;
    EXPECT_EQ(got, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HexText,
    ::testing::Values(HexCase{"spaced", "AF af 0D", {0xAF, 0xAF, 0x0D}},
                      HexCase{"packed", "AFaf0d0A", {0xAF, 0xAF, 0x0D, 0x0A}},
                      HexCase{"prefixed_commas", "0xAF,0x00, 0X0a", {0xAF, 0x00, 0x0A}},
                      HexCase{"zero_bytes", "00 0x00 000000", {0, 0, 0, 0, 0}},
                      HexCase{"lines_and_crlf", "AF\r\n\tAF\n", {0xAF, 0xAF}},
                      HexCase{"empty", "", {}}, HexCase{"half_byte", "AF A", {}, false},
                      HexCase{"half_byte_at_end", "AFA", {}, false},
                      HexCase{"lone_prefix_digit", "0", {}, false},
                      HexCase{"not_hex", "AF GG", {}, false},
                      HexCase{"x_inside_group", "AF0x12", {}, false},
                      HexCase{"binary_junk", std::string("AF\0AF", 5), {}, false}),
    [](const auto& info) { return info.param.name; });

struct ProfileCase {
    std::string name;
    std::string json;
    bool good;
    std::string message_part;  // for a refused profile
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const ProfileCase& c, std::ostream* os) {
    *os << c.name;
}

class Profiles : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(Profiles, AcceptOrRefuse) {
    const ProfileCase& c = GetParam();
    try {
        ParseProfile(c.json, "p.json");
        EXPECT_TRUE(c.good) << "accepted " << c.json;
    } catch (const UsageError& e) {
        EXPECT_FALSE(c.good) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Profiles,
    ::testing::Values(
        ProfileCase{"empty_object", "{}", true, ""},
        ProfileCase{"read_output_with_raw_and_nulls",
                    R"({"frequency_mhz": 868.0, "spreading_factor": null, "mode": "normal",
                        "bandwidth": "125K", "power": 5, "node_id": 258, "net_id": 3,
                        "module_baud": 9600, "module_parity": "none",
                        "raw": "04 00 D9 00 24 0B 00 07 01 02 03 05"})",
                    true, ""},
        ProfileCase{"unknown_key", R"({"powr": 5})", false, "powr: unknown key"},
        ProfileCase{"power_out_of_range", R"({"power": 9})", false, "power: must be"},
        ProfileCase{"power_as_string", R"({"power": "5"})", false, "must be a number"},
        ProfileCase{"power_fraction", R"({"power": 5.5})", false, "power: must be"},
        ProfileCase{"mode_as_number", R"({"mode": 1})", false, "must be a string"},
        ProfileCase{"frequency_out_of_range", R"({"frequency_mhz": 1000})", false, "140.00"},
        ProfileCase{"bandwidth_bad", R"({"bandwidth": "42K"})", false, "62.5K"},
        ProfileCase{"node_id_negative", R"({"node_id": -1})", false, "node_id"},
        ProfileCase{"not_an_object", "[1, 2]", false, "JSON object"},
        ProfileCase{"not_json", "{power: 5", false, "not valid JSON"},
        ProfileCase{"empty_text", "", false, "not valid JSON"}),
    [](const auto& info) { return info.param.name; });

TEST(Profiles, FieldsLandInTheChange) {
    const SettingsChange c = ParseProfile(
        R"({"frequency_mhz": 433.125, "node_id": 258, "module_baud": 115200, "mode": null})", "p");
    EXPECT_DOUBLE_EQ(*c.frequency, 433.13);
    EXPECT_EQ(*c.node_id, 258);
    EXPECT_EQ(*c.module_baud_code, 0);
    EXPECT_FALSE(c.mode.has_value()) << "null keeps the module's value";
    EXPECT_FALSE(c.power.has_value());
}

TEST(Profiles, MissingFileIsAUsageError) {
    EXPECT_THROW(LoadProfile("/nonexistent/dir/p.json"), UsageError);
    EXPECT_THROW(LoadProfile("/"), UsageError) << "a directory is no profile";
}

}  // namespace
}  // namespace tovra::cli
