#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/module_settings.h"

namespace tovra::cli {

// The nine settings a user sees, in the window's order and units.
enum class Field {
    Frequency,
    SpreadingFactor,
    Mode,
    Bandwidth,
    Power,
    NodeId,
    NetId,
    ModuleBaud,
    ModuleParity,
};
inline constexpr std::array<Field, 9> kFields{
    Field::Frequency, Field::SpreadingFactor, Field::Mode,       Field::Bandwidth,   Field::Power,
    Field::NodeId,    Field::NetId,           Field::ModuleBaud, Field::ModuleParity};

std::string_view FieldName(Field f);  // "spreading factor"
std::string_view FieldKey(Field f);   // "spreading_factor", as in JSON and profiles

// "434.00 MHz", "2048 chips", ...; a code outside its known values is "unknown (0x0D)".
std::string FieldText(Field f, const ModuleSettings& s);
// The JSON value of a field; an unknown code is null.
nlohmann::ordered_json FieldJson(Field f, const ModuleSettings& s);
// Equal as the window shows them (the frequency to 0.01 MHz, everything else exactly).
bool FieldEqual(Field f, const ModuleSettings& a, const ModuleSettings& b);
std::vector<Field> DifferentFields(const ModuleSettings& a, const ModuleSettings& b);
std::string JoinFieldNames(const std::vector<Field>& fields);

// One line per field, names aligned.
std::string SettingsTable(const ModuleSettings& s);
// The keys of `read --json`, with raw: the twelve settings bytes in hex.
nlohmann::ordered_json SettingsJson(const ModuleSettings& s);
// One line per field: "from -> to" where they differ; with all, also the unchanged ones.
std::string ChangeTable(const ModuleSettings& from, const ModuleSettings& to, bool all);

// "v1.7", "v1.8", or "unknown (0x05)".
std::string VersionText(std::uint8_t code);
nlohmann::ordered_json VersionJson(std::uint8_t code);  // "v1.7", "v1.8" or null

std::string ParityName(std::uint8_t code);  // "none", "odd", "even"; caller checks range

}  // namespace tovra::cli
