#include "bench/soak_plan.h"

#include "link/message_target.h"
#include "protocol/frame.h"

namespace tovra::bench {

namespace {

bool Chance(std::mt19937& rng, double p) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p;
}

int Uniform(std::mt19937& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

ModuleSettings RandomSettings(std::mt19937& rng) {
    ModuleSettings s;
    s.McuBaudCode = static_cast<std::uint8_t>(Uniform(rng, 0, 7));
    s.McuParity = static_cast<std::uint8_t>(Uniform(rng, 0, 2));
    s.RfFrequency = Uniform(rng, 14000, 99000) / 100.0;
    s.RfFactor = static_cast<std::uint8_t>(Uniform(rng, 7, 12));
    s.RfMode = static_cast<std::uint8_t>(Uniform(rng, 0, 1));
    s.RfBw = static_cast<std::uint8_t>(Uniform(rng, 6, 9));
    s.CustID_H = static_cast<std::uint8_t>(Uniform(rng, 0, 255));
    s.CustID_L = static_cast<std::uint8_t>(Uniform(rng, 0, 255));
    s.NetID = static_cast<std::uint8_t>(Uniform(rng, 0, 255));
    s.Power = static_cast<std::uint8_t>(Uniform(rng, 1, 7));
    return s;
}

// The frame format has no escape: two 0xAF bytes in a row start a new frame wherever they
// are, on the module's side as in the tool's receiver. A block holding them (node id
// 0xAFAF, node id low byte and net id both 0xAF, some frequencies near 702.7 MHz) can
// therefore never make a round trip, so the soak does not send one.
bool Transportable(const ModuleSettings& s) {
    const Frame23 frame = BuildWriteAllFrame(s);
    for (std::size_t i = 7; i + 1 < frame.size(); ++i) {
        if (frame[i] == 0xAF && frame[i + 1] == 0xAF) {
            return false;
        }
    }
    return true;
}

}  // namespace

CyclePlan PlanCycle(std::mt19937& rng, int lose_after) {
    CyclePlan plan;
    const int pick = Uniform(rng, 0, 99);
    plan.request = pick < 40   ? SoakRequest::ReadAll
                   : pick < 70 ? SoakRequest::WriteAll
                   : pick < 85 ? SoakRequest::VersionRead
                               : SoakRequest::VersionWrite;
    if (plan.request == SoakRequest::WriteAll) {
        do {
            plan.settings = RandomSettings(rng);
        } while (!Transportable(plan.settings));
    }
    if (plan.request == SoakRequest::VersionWrite) {
        plan.version_code = static_cast<std::uint8_t>(Uniform(rng, 0, 1));
    }
    sim::Faults& f = plan.faults;
    f.lose_after = lose_after;
    if (Chance(rng, 0.30)) {
        f.noise_bytes = static_cast<std::size_t>(Uniform(rng, 1, 40));
    }
    if (Chance(rng, 0.10)) {
        f.split_gap_ms = Uniform(rng, 0, 1);
    }
    f.bad_checksum = Chance(rng, 0.01);
    f.short_reply = Chance(rng, 0.02);
    if (Chance(rng, 0.05)) {
        f.delay_ms = Uniform(rng, 1, kSoakReplyTimeoutMs);
    }
    return plan;
}

std::uintptr_t ExpectedNotice(const CyclePlan& plan) {
    if (plan.faults.bad_checksum) {
        return kNotifyChecksumError;
    }
    // The module cuts only settings replies; a cut one carries no settings to take.
    if (plan.faults.short_reply && IsSettingsRequest(plan.request)) {
        return kNotifyAcknowledged;
    }
    return kNotifyGood;
}

bool IsSettingsRequest(SoakRequest request) {
    return request == SoakRequest::ReadAll || request == SoakRequest::WriteAll;
}

const char* RequestName(SoakRequest request) {
    switch (request) {
        case SoakRequest::ReadAll:
            return "Read All";
        case SoakRequest::WriteAll:
            return "Write All";
        case SoakRequest::VersionRead:
            return "version read";
        case SoakRequest::VersionWrite:
            return "version write";
    }
    return "?";
}

}  // namespace tovra::bench
