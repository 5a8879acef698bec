#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/module_settings.h"

namespace tovra {

// Frame layout: AF AF 00 00 AF 80, command, L, L payload bytes, checksum, 0D 0A.
inline constexpr std::size_t kFrameOverhead = 11;
inline constexpr std::size_t kSettingsFrameSize = 23;
inline constexpr std::size_t kVersionFrameSize = 13;
using FrameHeader = std::array<std::uint8_t, 6>;
inline constexpr FrameHeader kRequestHeader{0xAF, 0xAF, 0x00, 0x00, 0xAF, 0x80};

enum Command : std::uint8_t {
    kCmdWriteAll = 0x01,
    kCmdReadAll = 0x02,
    kCmdVersionWrite = 0x80,
    kCmdVersionRead = 0x81,
};

using Frame23 = std::array<std::uint8_t, kSettingsFrameSize>;
using Frame13 = std::array<std::uint8_t, kVersionFrameSize>;

// Sum of the first count bytes, modulo 256.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t count);

Frame23 BuildReadAllFrame();
Frame23 BuildWriteAllFrame(const ModuleSettings& settings);
Frame13 BuildVersionWriteFrame(std::uint8_t code);
Frame13 BuildVersionReadFrame();

// Whether two consecutive 0xAF bytes stand after the frame's own start. The format has
// no escaping, so a receiver restarts there: such a frame can never be received whole.
bool HasSyncPairInside(std::span<const std::uint8_t> frame);

// Any frame of the common shape, for counterparts that answer with their own header
// bytes and command. The payload is at most 255 bytes (L is one byte).
std::vector<std::uint8_t> BuildFrame(const FrameHeader& header, std::uint8_t command,
                                     std::span<const std::uint8_t> payload);

}  // namespace tovra
