#include "cli/settings_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "cli/hex.h"
#include "cli/values.h"
#include "protocol/units.h"

namespace tovra::cli {

namespace {

constexpr int kNameWidth = 18;

std::string Unknown(std::uint8_t code) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "unknown (0x%02X)", code);
    return buffer;
}

std::string Padded(std::string_view name) {
    std::string s(name);
    s.resize(std::max<std::size_t>(s.size() + 1, kNameWidth), ' ');
    return s;
}

bool KnownFactor(std::uint8_t v) {
    return v >= kFirstFactor && v < kFirstFactor + kChips.size();
}
bool KnownBandwidth(std::uint8_t v) {
    return v >= kFirstBandwidth && v < kFirstBandwidth + kBandwidthNames.size();
}
bool KnownMode(std::uint8_t v) {
    return v < kModeNames.size();
}
bool KnownPower(std::uint8_t v) {
    return v >= 1 && v <= 7;
}
bool KnownParity(std::uint8_t v) {
    return v < kParityNames.size();
}

unsigned NodeId(const ModuleSettings& s) {
    return s.CustID_H * 256u + s.CustID_L;
}

// The settings bytes a decoded record came from. The frequency register is recovered from
// the decoded MHz: reading uses a step of exactly 1/16384 MHz, so the nearest multiple is
// the received register (re-encoding would use the writing step and give other bytes).
SettingsBlock ReceivedBlock(const ModuleSettings& s) {
    SettingsBlock block = EncodeSettingsBlock(s);
    const double scaled = std::round(s.RfFrequency * 16384.0);
    const auto reg = scaled >= 0.0 && scaled < 16777216.0 ? static_cast<std::uint32_t>(scaled) : 0u;
    block[2] = static_cast<std::uint8_t>(reg >> 16);
    block[3] = static_cast<std::uint8_t>(reg >> 8);
    block[4] = static_cast<std::uint8_t>(reg);
    return block;
}

std::string FrequencyText(double mhz) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2f MHz", RoundToHundredths(mhz));
    return buffer;
}

}  // namespace

namespace {
// Each field's name in tables and its key in JSON, in the order of Field.
struct FieldLabels {
    std::string_view name;
    std::string_view key;
};
constexpr FieldLabels kFieldLabels[] = {
    {"frequency", "frequency_mhz"},
    {"spreading factor", "spreading_factor"},
    {"mode", "mode"},
    {"bandwidth", "bandwidth"},
    {"power", "power"},
    {"node id", "node_id"},
    {"net id", "net_id"},
    {"module baud", "module_baud"},
    {"module parity", "module_parity"},
};
static_assert(std::size(kFieldLabels) == kFields.size());

const FieldLabels& LabelsOf(Field f) {
    return kFieldLabels[static_cast<std::size_t>(f)];
}
}  // namespace

std::string_view FieldName(Field f) {
    return LabelsOf(f).name;
}

std::string_view FieldKey(Field f) {
    return LabelsOf(f).key;
}

std::string ParityName(std::uint8_t code) {
    static constexpr const char* kNames[] = {"none", "odd", "even"};
    return code < 3 ? kNames[code] : Unknown(code);
}

std::string FieldText(Field f, const ModuleSettings& s) {
    switch (f) {
        case Field::Frequency:
            return FrequencyText(s.RfFrequency);
        case Field::SpreadingFactor:
            return KnownFactor(s.RfFactor)
                       ? std::to_string(kChips[s.RfFactor - kFirstFactor]) + " chips"
                       : Unknown(s.RfFactor);
        case Field::Mode:
            return KnownMode(s.RfMode) ? std::string(kModeNames[s.RfMode]) : Unknown(s.RfMode);
        case Field::Bandwidth:
            return KnownBandwidth(s.RfBw) ? std::string(kBandwidthNames[s.RfBw - kFirstBandwidth])
                                          : Unknown(s.RfBw);
        case Field::Power:
            return KnownPower(s.Power) ? std::to_string(s.Power) : Unknown(s.Power);
        case Field::NodeId:
            return std::to_string(NodeId(s));
        case Field::NetId:
            return std::to_string(s.NetID);
        case Field::ModuleBaud: {
            const auto baud = BaudFromMcuBaudCode(s.McuBaudCode);
            return baud ? std::to_string(*baud) : Unknown(s.McuBaudCode);
        }
        case Field::ModuleParity:
            return ParityName(s.McuParity);
    }
    return "?";
}

nlohmann::ordered_json FieldJson(Field f, const ModuleSettings& s) {
    switch (f) {
        case Field::Frequency:
            return RoundToHundredths(s.RfFrequency);
        case Field::SpreadingFactor:
            return KnownFactor(s.RfFactor)
                       ? nlohmann::ordered_json(kChips[s.RfFactor - kFirstFactor])
                       : nullptr;
        case Field::Mode:
            return s.RfMode == 0   ? nlohmann::ordered_json("normal")
                   : s.RfMode == 1 ? nlohmann::ordered_json("saving")
                                   : nullptr;
        case Field::Bandwidth:
            return KnownBandwidth(s.RfBw) ? nlohmann::ordered_json(std::string(
                                                kBandwidthNames[s.RfBw - kFirstBandwidth]))
                                          : nullptr;
        case Field::Power:
            return KnownPower(s.Power) ? nlohmann::ordered_json(s.Power) : nullptr;
        case Field::NodeId:
            return NodeId(s);
        case Field::NetId:
            return s.NetID;
        case Field::ModuleBaud: {
            const auto baud = BaudFromMcuBaudCode(s.McuBaudCode);
            return baud ? nlohmann::ordered_json(*baud) : nullptr;
        }
        case Field::ModuleParity:
            return KnownParity(s.McuParity) ? nlohmann::ordered_json(ParityName(s.McuParity))
                                            : nullptr;
    }
    return nullptr;
}

bool FieldEqual(Field f, const ModuleSettings& a, const ModuleSettings& b) {
    switch (f) {
        case Field::Frequency:
            return RoundToHundredths(a.RfFrequency) == RoundToHundredths(b.RfFrequency);
        case Field::SpreadingFactor:
            return a.RfFactor == b.RfFactor;
        case Field::Mode:
            return a.RfMode == b.RfMode;
        case Field::Bandwidth:
            return a.RfBw == b.RfBw;
        case Field::Power:
            return a.Power == b.Power;
        case Field::NodeId:
            return NodeId(a) == NodeId(b);
        case Field::NetId:
            return a.NetID == b.NetID;
        case Field::ModuleBaud:
            return a.McuBaudCode == b.McuBaudCode;
        case Field::ModuleParity:
            return a.McuParity == b.McuParity;
    }
    return false;
}

std::vector<Field> DifferentFields(const ModuleSettings& a, const ModuleSettings& b) {
    std::vector<Field> fields;
    for (const Field f : kFields) {
        if (!FieldEqual(f, a, b)) {
            fields.push_back(f);
        }
    }
    return fields;
}

std::string JoinFieldNames(const std::vector<Field>& fields) {
    std::string s;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        s += (i == 0 ? "" : ", ") + std::string(FieldName(fields[i]));
    }
    return s;
}

std::string SettingsTable(const ModuleSettings& s) {
    std::string table;
    for (const Field f : kFields) {
        table += Padded(FieldName(f)) + FieldText(f, s) + "\n";
    }
    return table;
}

nlohmann::ordered_json SettingsJson(const ModuleSettings& s) {
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const Field f : kFields) {
        j[std::string(FieldKey(f))] = FieldJson(f, s);
    }
    j["raw"] = FormatHex(ReceivedBlock(s));
    return j;
}

std::string ChangeTable(const ModuleSettings& from, const ModuleSettings& to, bool all) {
    std::string table;
    for (const Field f : kFields) {
        if (!FieldEqual(f, from, to)) {
            table +=
                "  " + Padded(FieldName(f)) + FieldText(f, from) + " -> " + FieldText(f, to) + "\n";
        } else if (all) {
            table += "  " + Padded(FieldName(f)) + FieldText(f, to) + " (unchanged)\n";
        }
    }
    return table;
}

std::string VersionText(std::uint8_t code) {
    return code == 0 ? "v1.7" : code == 1 ? "v1.8" : Unknown(code);
}

nlohmann::ordered_json VersionJson(std::uint8_t code) {
    return code <= 1 ? nlohmann::ordered_json(VersionText(code)) : nullptr;
}

}  // namespace tovra::cli
