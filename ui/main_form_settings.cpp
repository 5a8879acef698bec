// Settings between the controls and the module's record, with the guards on the way in.

#include <cmath>

#include "protocol/units.h"
#include "ui/main_form.h"

namespace tovra {

namespace {

// Only the low 8 bits of a position or id go into the frame; -1 (no entry) wraps.
std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

std::uint8_t TruncatedByte(double value) {
    // The edits keep values in 0..255 (the guards cap, negatives cannot be entered);
    // anything else is clamped before the conversion rather than left undefined.
    if (!(value >= 0)) {
        return 0;
    }
    return LowByte(static_cast<int>(std::trunc(std::fmin(value, 255.0))));
}

}  // namespace

ModuleSettings TMainForm::SettingsFromWindow() const {
    ModuleSettings s{};
    s.McuBaudCode = McuBaudCodeFromPosition(suiComboBox_McuBaudRate->ItemIndex());
    s.McuParity = LowByte(suiComboBox_McuParity->ItemIndex());
    s.RfFrequency = suiNumberEdit_RfFrequency->Value();
    s.RfFactor = LowByte(suiComboBox_RfFactor->ItemIndex() + kFirstFactor);
    s.RfMode = LowByte(suiComboBox_RfMode->ItemIndex());
    s.RfBw = LowByte(suiComboBox_RFBW->ItemIndex() + kFirstBandwidth);
    s.CustID_H = TruncatedByte(suiNumberEdit_CustID_H->Value());
    s.CustID_L = TruncatedByte(suiNumberEdit_CustID_L->Value());
    s.NetID = TruncatedByte(suiNumberEdit_NetID->Value());
    s.Power = LowByte(suiComboBox_Power->ItemIndex() + 1);
    return s;
}

void TMainForm::LoadSettings(const ModuleSettings& s) {
    // Order matters only for the edits, whose change events run their guards.
    suiNumberEdit_RfFrequency->SetValue(s.RfFrequency);
    if (s.RfFactor >= 7 && s.RfFactor <= 12) {
        suiComboBox_RfFactor->SetItemIndex(s.RfFactor - kFirstFactor);
    }
    // Mode 2 has no entry: selecting it would leave the list empty and the next
    // Write All would send 0xFF, so it is not applied.
    if (s.RfMode <= 1) {
        suiComboBox_RfMode->SetItemIndex(s.RfMode);
    }
    if (s.RfBw >= 6 && s.RfBw <= 9) {
        suiComboBox_RFBW->SetItemIndex(s.RfBw - kFirstBandwidth);
    }
    suiNumberEdit_CustID_H->SetValue(s.CustID_H);
    suiNumberEdit_CustID_L->SetValue(s.CustID_L);
    suiNumberEdit_NetID->SetValue(s.NetID);
    if (s.Power >= 1 && s.Power <= 7) {
        suiComboBox_Power->SetItemIndex(s.Power - 1);
    }
    if (const auto position = PositionFromMcuBaudCode(s.McuBaudCode)) {
        suiComboBox_McuBaudRate->SetItemIndex(*position);
    }
    if (s.McuParity <= 2) {
        suiComboBox_McuParity->SetItemIndex(s.McuParity);
    }
}

}  // namespace tovra
