#pragma once

#include <array>
#include <cstdint>

namespace tovra {

// Everything exchanged with the module: the ten fields of the twelve-byte settings
// block (frame bytes 8..19), then the version selector of the last version reply.
struct ModuleSettings {
    std::uint8_t McuBaudCode = 0;  // 1..7 = 1200..57600, 0 = 115200
    std::uint8_t McuParity = 0;    // 0 none, 1 odd, 2 even
    double RfFrequency = 0.0;      // MHz; carried as a 24-bit register
    std::uint8_t RfFactor = 0;     // spreading factor 7..12 (128..4096 chips)
    std::uint8_t RfMode = 0;       // 0 normal, 1 saving
    std::uint8_t RfBw = 0;         // 6..9 = 62.5K, 125K, 250K, 500K
    std::uint8_t CustID_H = 0;     // node id, high byte
    std::uint8_t CustID_L = 0;     // node id, low byte
    std::uint8_t NetID = 0;
    std::uint8_t Power = 0;         // 1..7
    std::uint8_t VersionCode = 0;   // 0 = v1.7, 1 = v1.8
    std::uint8_t VersionReady = 0;  // 1 after a version reply until the value is taken

    bool operator==(const ModuleSettings&) const = default;
};

inline constexpr std::size_t kSettingsBlockSize = 12;
using SettingsBlock = std::array<std::uint8_t, kSettingsBlockSize>;

// The settings fields in wire order; the version fields are never sent.
SettingsBlock EncodeSettingsBlock(const ModuleSettings& s);
// Fills the ten settings fields from a block; leaves the version fields alone.
void DecodeSettingsBlock(const std::uint8_t* block, ModuleSettings& s);
// Copies the ten settings fields only.
void CopySettingsFields(const ModuleSettings& from, ModuleSettings& to);

}  // namespace tovra
