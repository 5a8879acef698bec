#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/frequency.h"
#include "protocol/reply_receiver.h"
#include "protocol/units.h"

namespace tovra {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const FrameHeader kHeader = kRequestHeader;

// A settings block distinct from the receiver's zeroed start, so decoding is visible.
const SettingsBlock kBlock{0x04, 0x01, 0x6C, 0x80, 0x12, 0x0B, 0x01, 0x08, 0x12, 0x34, 0x56, 0x05};

ModuleSettings Decoded(const SettingsBlock& block) {
    ModuleSettings s;
    DecodeSettingsBlock(block.data(), s);
    return s;
}

Bytes SettingsReply() {
    return BuildFrame(kHeader, 0x02, kBlock);
}
Bytes VersionReply(std::uint8_t code) {
    const std::uint8_t payload[] = {code, 0x00};
    return BuildFrame(kHeader, 0x81, payload);
}
Bytes WithBadChecksum(Bytes f) {
    f[f.size() - 3] ^= 0x5A;
    return f;
}

constexpr ReplyOutcome kSettings{ReplyKind::Good, ReplyContent::Settings};
constexpr ReplyOutcome kVersion{ReplyKind::Good, ReplyContent::Version};
constexpr ReplyOutcome kBad{ReplyKind::ChecksumError, ReplyContent::None};
constexpr ReplyOutcome kAck{ReplyKind::Acknowledged, ReplyContent::None};

struct StreamCase {
    std::string name;
    Bytes stream;
    std::vector<ReplyOutcome> outcomes;
    ModuleSettings decoded;  // expected decoded record at the end
    bool in_frame = false;   // receiver state at the end
    int rx_count = 0;
};

ModuleSettings VersionDecoded(std::uint8_t code) {
    ModuleSettings s;
    s.VersionCode = code;
    s.VersionReady = 1;
    return s;
}

std::vector<StreamCase> Cases() {
    const Bytes good = SettingsReply();
    std::vector<StreamCase> cases;
    cases.push_back({"good settings reply", good, {kSettings}, Decoded(kBlock)});
    cases.push_back({"good version reply", VersionReply(1), {kVersion}, VersionDecoded(1)});
    cases.push_back({"bad checksum", WithBadChecksum(good), {kBad}, {}});
    {
        // The third 0xAF is data at position 2; the fourth restarts the frame.
        cases.push_back({"AF AF AF", {0xAF, 0xAF, 0xAF}, {}, {}, true, 3});
        cases.push_back({"AF AF AF AF restarts", Bytes{0xAF, 0xAF, 0xAF, 0xAF}, {}, {}, true, 2});
        // Three 0xAF straight before a reply shift it by one byte: it runs past its length.
        cases.push_back({"AF AF AF then reply", Bytes{0xAF, 0xAF, 0xAF} + good, {}, {}});
    }
    cases.push_back(
        {"lone AF before a frame", Bytes{0xAF, 0x11} + good, {kSettings}, Decoded(kBlock)});
    {
        SettingsBlock block = kBlock;
        block[3] = 0xAF;
        block[4] = 0xAF;
        // The pair inside the payload restarts the frame; what is left cannot check out.
        cases.push_back({"AF AF inside payload", BuildFrame(kHeader, 0x02, block), {kBad}, {}});
    }
    {
        // 0D 0A at positions 12..13: the frame ends early and its checksum is not there.
        SettingsBlock block = kBlock;
        block[4] = 0x0D;
        block[5] = 0x0A;
        cases.push_back({"early 0D 0A", BuildFrame(kHeader, 0x02, block), {}, {}, false, 0});
        cases.back().outcomes = {kBad};
        // What follows the early end is idle noise: no frame starts again.
    }
    {
        // A 0x0A with fewer than 10 bytes held never completes, even after 0x0D.
        const Bytes s{0xAF, 0xAF, 0x00, 0x00, 0xAF, 0x80, 0x0D, 0x0A};
        cases.push_back({"0A before 10 bytes", s, {}, {}, true, 8});
    }
    {
        // L = 12: a non-0xAF, non-0x0A byte stored with 28 bytes held abandons the frame.
        Bytes s(good.begin(), good.end() - 2);
        s.insert(s.end(), {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
        cases.push_back({"run to 27 bytes is kept", s, {}, {}, true, 27});
        Bytes t = s;
        t.push_back(0x07);
        cases.push_back({"run past length", t, {}, {}, false, 0});
        Bytes u = s;
        u.insert(u.end(), {0x0A, 0xAF, 0x0A});
        cases.push_back({"0A and AF only meet the limit", u, {}, {}, true, 30});
    }
    {
        // 0x0A bytes alone never run past the length: 511 of them overflow the 512 limit.
        Bytes s{0xAF, 0xAF};
        s.insert(s.end(), 510, 0x0A);
        cases.push_back({"512 bytes held", s, {}, {}, true, 512});
        Bytes t = s;
        t.push_back(0x0A);
        cases.push_back({"513-byte overflow", t, {}, {}, false, 0});
        Bytes u = t + good;
        u.back() = 0x0A;
        cases.push_back({"reply after overflow", u, {kSettings}, Decoded(kBlock)});
        // The AF that overflows also clears the count, so the next AF does not start a frame.
        Bytes v = s;
        v.insert(v.end(), {0xAF, 0xAF});
        cases.push_back({"overflowing AF then AF", v, {}, {}, false, 0});
        Bytes w = v;
        w.push_back(0xAF);
        cases.push_back({"overflowing AF then AF AF", w, {}, {}, true, 2});
    }
    cases.push_back({"bytes while idle", Bytes{0x01, 0x0D, 0x0A, 0x80, 0x0D, 0x0A}, {}, {}});
    {
        const std::uint8_t payload[] = {0x00, 0x00, 0x00, 0x00};
        cases.push_back(
            {"short reply is acknowledged", BuildFrame(kHeader, 0x01, payload), {kAck}, {}});
    }
    cases.push_back({"checksum failure keeps earlier values",
                     good + WithBadChecksum(VersionReply(1)),
                     {kSettings, kBad},
                     Decoded(kBlock)});
    {
        ModuleSettings both = Decoded(kBlock);
        both.VersionCode = 1;
        both.VersionReady = 1;
        cases.push_back({"settings reply leaves VersionReady",
                         VersionReply(1) + good,
                         {kVersion, kSettings},
                         both});
        cases.push_back(
            {"version reply leaves settings", good + VersionReply(1), {kSettings, kVersion}, both});
    }
    {
        // Stale bytes 8..19 from the first reply must not come back through a short one.
        const std::uint8_t payload[] = {0x99};
        cases.push_back({"short reply after settings",
                         good + BuildFrame(kHeader, 0x02, payload),
                         {kSettings, kAck},
                         Decoded(kBlock)});
    }
    return cases;
}

struct Fed {
    std::vector<ReplyOutcome> outcomes;
    ReplyReceiver rx;
};

void Feed(Fed& run, const std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (auto o = run.rx.OnByte(data[i])) {
            run.outcomes.push_back(*o);
        }
    }
}

void Check(const StreamCase& c, const Fed& run, const std::string& how) {
    SCOPED_TRACE(c.name + " / " + how);
    EXPECT_EQ(run.outcomes, c.outcomes);
    EXPECT_EQ(run.rx.Decoded(), c.decoded);
    EXPECT_EQ(run.rx.InFrame(), c.in_frame);
    EXPECT_EQ(run.rx.RxCount(), c.rx_count);
    EXPECT_LE(run.rx.RxCount(), ReplyReceiver::kMaxHeld + 1);
}

TEST(ReplyReceiver, StreamTableByteByByte) {
    for (const auto& c : Cases()) {
        Fed run;
        for (auto b : c.stream) {
            Feed(run, &b, 1);
        }
        Check(c, run, "byte by byte");
    }
}

TEST(ReplyReceiver, StreamTableSplitAtEveryOffset) {
    for (const auto& c : Cases()) {
        for (std::size_t cut = 0; cut <= c.stream.size(); ++cut) {
            Fed run;
            Feed(run, c.stream.data(), cut);
            Feed(run, c.stream.data() + cut, c.stream.size() - cut);
            Check(c, run, "split at " + std::to_string(cut));
        }
    }
}

TEST(ReplyReceiver, ReplyCutByResetIsContinuedByLaterBytes) {
    // Nothing but two 0xAF or a reset condition discards a partial frame.
    const Bytes good = SettingsReply();
    Fed run;
    Feed(run, good.data(), 10);
    EXPECT_TRUE(run.rx.InFrame());
    Feed(run, good.data() + 10, good.size() - 10);
    EXPECT_EQ(run.outcomes, std::vector<ReplyOutcome>{kSettings});
}

TEST(ReplyReceiver, ClearVersionReadyOnlyTouchesTheFlag) {
    Fed run;
    const Bytes v = VersionReply(1);
    Feed(run, v.data(), v.size());
    run.rx.ClearVersionReady();
    EXPECT_EQ(run.rx.Decoded().VersionReady, 0);
    EXPECT_EQ(run.rx.Decoded().VersionCode, 1);
}

}  // namespace
}  // namespace tovra
