#include "cli/profile.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/usage_error.h"
#include "cli/values.h"

namespace tovra::cli {

namespace {

// A profile is a few hundred bytes; anything far larger is not one.
constexpr std::streamsize kMaxProfileSize = 64 * 1024;

// The option parsers check text; a number is checked through its JSON spelling, so 5.0
// for a whole-number field is refused like "5.0" on the command line.
std::string NumberText(const nlohmann::json& v, const std::string& what) {
    if (!v.is_number()) {
        throw UsageError(what + ": must be a number (got " + v.dump() + ")");
    }
    return v.dump();
}

std::string StringText(const nlohmann::json& v, const std::string& what) {
    if (!v.is_string()) {
        throw UsageError(what + ": must be a string (got " + v.dump() + ")");
    }
    return v.get<std::string>();
}

}  // namespace

SettingsChange ParseProfile(const std::string& text, const std::string& source) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw UsageError("profile " + source + ": not valid JSON (" + e.what() + ")");
    }
    if (!doc.is_object()) {
        throw UsageError("profile " + source + ": must be a JSON object");
    }
    SettingsChange c;
    for (const auto& [key, value] : doc.items()) {
        const std::string what = "profile " + source + ": " + key;
        if (key == "raw") {
            continue;
        }
        const bool keep = value.is_null();
        if (key == "frequency_mhz") {
            if (!keep) {
                c.frequency = ParseFrequency(NumberText(value, what), what);
            }
        } else if (key == "spreading_factor") {
            if (!keep) {
                c.factor = ParseSpreadingFactor(NumberText(value, what), what);
            }
        } else if (key == "mode") {
            if (!keep) {
                c.mode = ParseMode(StringText(value, what), what);
            }
        } else if (key == "bandwidth") {
            if (!keep) {
                c.bandwidth = ParseBandwidth(StringText(value, what), what);
            }
        } else if (key == "power") {
            if (!keep) {
                c.power = ParsePower(NumberText(value, what), what);
            }
        } else if (key == "node_id") {
            if (!keep) {
                c.node_id = ParseNodeId(NumberText(value, what), what);
            }
        } else if (key == "net_id") {
            if (!keep) {
                c.net_id = ParseNetId(NumberText(value, what), what);
            }
        } else if (key == "module_baud") {
            if (!keep) {
                c.module_baud_code = ParseModuleBaud(NumberText(value, what), what);
            }
        } else if (key == "module_parity") {
            if (!keep) {
                c.module_parity = ParseParity(StringText(value, what), what);
            }
        } else {
            throw UsageError(what.substr(0, 200) +
                             ": unknown key (known: frequency_mhz, spreading_factor, mode, "
                             "bandwidth, power, node_id, net_id, module_baud, module_parity, raw)");
        }
    }
    return c;
}

SettingsChange LoadProfile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw UsageError("--profile: cannot read " + path);
    }
    std::string text;
    text.resize(static_cast<std::size_t>(kMaxProfileSize) + 1);
    file.read(text.data(), kMaxProfileSize + 1);
    if (file.bad()) {
        throw UsageError("--profile: cannot read " + path);
    }
    const std::streamsize got = file.gcount();
    if (got > kMaxProfileSize) {
        throw UsageError("--profile: " + path + " is larger than 64 KiB; not a profile");
    }
    text.resize(static_cast<std::size_t>(got));
    return ParseProfile(text, path);
}

}  // namespace tovra::cli
