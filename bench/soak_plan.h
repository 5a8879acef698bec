#pragma once

#include <cstdint>
#include <random>

#include "protocol/module_settings.h"
#include "sim/simulated_module.h"

namespace tovra::bench {

// The longest reply delay the soak injects: a reply may come as late as this.
inline constexpr int kSoakReplyTimeoutMs = 500;

enum class SoakRequest { ReadAll, WriteAll, VersionRead, VersionWrite };

// One request/reply cycle: what is sent and what the module is told to do to the reply.
struct CyclePlan {
    SoakRequest request = SoakRequest::ReadAll;
    ModuleSettings settings{};      // Write All only
    std::uint8_t version_code = 0;  // version write only
    sim::Faults faults{};
};

// A random request with random faults: noise before the reply (30 %), the reply split into
// single bytes (10 %), a wrong checksum (1 %), a short settings reply (2 %), a delay of up
// to the time-out (5 %).
CyclePlan PlanCycle(std::mt19937& rng, int lose_after);

// The notification the cycle's reply must produce (a NotifyCode).
std::uintptr_t ExpectedNotice(const CyclePlan& plan);

bool IsSettingsRequest(SoakRequest request);
const char* RequestName(SoakRequest request);

}  // namespace tovra::bench
