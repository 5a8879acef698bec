#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "protocol/module_settings.h"
#include "sim/request_assembler.h"

namespace tovra::sim {

// What the module keeps: the settings block exactly as last written (so a read returns
// the very register bytes written) and the version code.
struct ModuleState {
    SettingsBlock block{};
    std::uint8_t version = 0;
};

// Applies a request to the state and returns the reply frame, which keeps the request's
// header bytes. Read All: command 0x02 with the block; Write All: stores the block and
// answers 0x01 with it; version read 0x81 and version write 0x80 (which stores the code):
// payload (code, 0x00). Settings replies carry the first settings_length block bytes
// (at most all twelve); fewer make a short reply. Empty for a malformed request.
std::vector<std::uint8_t> Answer(const Request& request, ModuleState& state,
                                 std::size_t settings_length = kSettingsBlockSize);

// Replaces a frame's checksum with a wrong one that is neither 0xAF nor 0x0A, so the
// frame still starts and ends where it did and only its checksum fails.
void CorruptChecksum(std::vector<std::uint8_t>& frame);

// Line noise before a reply: random bytes without 0xAF, which could pair with the
// reply's first sync byte and shift its frame.
std::vector<std::uint8_t> Noise(std::size_t count, std::minstd_rand& rng);

}  // namespace tovra::sim
