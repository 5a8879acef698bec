#include "protocol/frame.h"

#include <algorithm>

#include "protocol/frequency.h"

namespace tovra {

namespace {
template <std::size_t N>
std::array<std::uint8_t, N> MakeFrame(std::uint8_t command,
                                      const std::array<std::uint8_t, N - kFrameOverhead>& payload) {
    std::array<std::uint8_t, N> f{};
    std::copy(kRequestHeader.begin(), kRequestHeader.end(), f.begin());
    f[6] = command;
    f[7] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), f.begin() + 8);
    f[N - 3] = FrameChecksum(f.data(), N - 3);
    f[N - 2] = 0x0D;
    f[N - 1] = 0x0A;
    return f;
}
}  // namespace

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum);
}

SettingsBlock EncodeSettingsBlock(const ModuleSettings& s) {
    const std::uint32_t reg = EncodeFrequency(s.RfFrequency);
    return {s.McuBaudCode,
            s.McuParity,
            static_cast<std::uint8_t>(reg >> 16),
            static_cast<std::uint8_t>(reg >> 8),
            static_cast<std::uint8_t>(reg),
            s.RfFactor,
            s.RfMode,
            s.RfBw,
            s.CustID_H,
            s.CustID_L,
            s.NetID,
            s.Power};
}

void DecodeSettingsBlock(const std::uint8_t* b, ModuleSettings& s) {
    s.McuBaudCode = b[0];
    s.McuParity = b[1];
    s.RfFrequency = DecodeFrequency(b[2], b[3], b[4]);
    s.RfFactor = b[5];
    s.RfMode = b[6];
    s.RfBw = b[7];
    s.CustID_H = b[8];
    s.CustID_L = b[9];
    s.NetID = b[10];
    s.Power = b[11];
}

void CopySettingsFields(const ModuleSettings& from, ModuleSettings& to) {
    const std::uint8_t code = to.VersionCode;
    const std::uint8_t ready = to.VersionReady;
    to = from;
    to.VersionCode = code;
    to.VersionReady = ready;
}

bool HasSyncPairInside(std::span<const std::uint8_t> frame) {
    for (std::size_t i = 2; i + 1 < frame.size(); ++i) {
        if (frame[i] == 0xAF && frame[i + 1] == 0xAF) {
            return true;
        }
    }
    return false;
}

Frame23 BuildReadAllFrame() {
    return MakeFrame<kSettingsFrameSize>(kCmdReadAll, {});
}

Frame23 BuildWriteAllFrame(const ModuleSettings& settings) {
    return MakeFrame<kSettingsFrameSize>(kCmdWriteAll, EncodeSettingsBlock(settings));
}

Frame13 BuildVersionWriteFrame(std::uint8_t code) {
    return MakeFrame<kVersionFrameSize>(kCmdVersionWrite, {code, 0x00});
}

Frame13 BuildVersionReadFrame() {
    return MakeFrame<kVersionFrameSize>(kCmdVersionRead, {});
}

std::vector<std::uint8_t> BuildFrame(const FrameHeader& header, std::uint8_t command,
                                     std::span<const std::uint8_t> payload) {
    const std::size_t length = std::min<std::size_t>(payload.size(), 255);
    std::vector<std::uint8_t> f(header.begin(), header.end());
    f.push_back(command);
    f.push_back(static_cast<std::uint8_t>(length));
    f.insert(f.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
    f.push_back(FrameChecksum(f.data(), f.size()));
    f.push_back(0x0D);
    f.push_back(0x0A);
    return f;
}

}  // namespace tovra
