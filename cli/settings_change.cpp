#include "cli/settings_change.h"

#include "cli/values.h"

namespace tovra::cli {

bool SettingsChange::Empty() const {
    return !frequency && !factor && !mode && !bandwidth && !power && !node_id && !net_id &&
           !module_baud_code && !module_parity;
}

SettingsChange SettingsChange::OverriddenBy(const SettingsChange& over) const {
    SettingsChange c = *this;
    auto take = [](auto& mine, const auto& theirs) {
        if (theirs) {
            mine = theirs;
        }
    };
    take(c.frequency, over.frequency);
    take(c.factor, over.factor);
    take(c.mode, over.mode);
    take(c.bandwidth, over.bandwidth);
    take(c.power, over.power);
    take(c.node_id, over.node_id);
    take(c.net_id, over.net_id);
    take(c.module_baud_code, over.module_baud_code);
    take(c.module_parity, over.module_parity);
    return c;
}

ModuleSettings AsWindowHolds(const ModuleSettings& read) {
    ModuleSettings s = read;
    s.RfFrequency = RoundToHundredths(read.RfFrequency);
    return s;
}

void ApplyChange(const SettingsChange& change, ModuleSettings& s) {
    if (change.frequency) {
        s.RfFrequency = *change.frequency;
    }
    if (change.factor) {
        s.RfFactor = *change.factor;
    }
    if (change.mode) {
        s.RfMode = *change.mode;
    }
    if (change.bandwidth) {
        s.RfBw = *change.bandwidth;
    }
    if (change.power) {
        s.Power = *change.power;
    }
    if (change.node_id) {
        s.CustID_H = static_cast<std::uint8_t>(*change.node_id >> 8);
        s.CustID_L = static_cast<std::uint8_t>(*change.node_id & 0xFF);
    }
    if (change.net_id) {
        s.NetID = *change.net_id;
    }
    if (change.module_baud_code) {
        s.McuBaudCode = *change.module_baud_code;
    }
    if (change.module_parity) {
        s.McuParity = *change.module_parity;
    }
}

}  // namespace tovra::cli
