#pragma once

#include <cstdint>
#include <optional>

#include "protocol/module_settings.h"

namespace tovra::cli {

// Fields to change on a module; an empty field keeps the module's value.
struct SettingsChange {
    std::optional<double> frequency;  // MHz, already rounded to 0.01
    std::optional<std::uint8_t> factor;
    std::optional<std::uint8_t> mode;
    std::optional<std::uint8_t> bandwidth;
    std::optional<std::uint8_t> power;
    std::optional<std::uint16_t> node_id;
    std::optional<std::uint8_t> net_id;
    std::optional<std::uint8_t> module_baud_code;
    std::optional<std::uint8_t> module_parity;

    bool Empty() const;
    // This change, with every field that `over` sets taken from `over`.
    SettingsChange OverriddenBy(const SettingsChange& over) const;
};

// What the window would send after loading `read`: the frequency as its edit holds it
// (two decimals), every other field as received. Keeps repeated read/write cycles from
// moving the frequency.
ModuleSettings AsWindowHolds(const ModuleSettings& read);

void ApplyChange(const SettingsChange& change, ModuleSettings& settings);

}  // namespace tovra::cli
