// The link against the simulated module on a pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/qd_serial.h"
#include "protocol/frame.h"
#include "protocol/frequency.h"
#include "protocol/units.h"
#include "recording_target.h"
#include "sim/simulated_module.h"

namespace tovra {
namespace {

using namespace std::chrono_literals;
using tovra::testing::RecordingTarget;

class LinkWithModule : public ::testing::Test {
  protected:
    void StartModule(const sim::Faults& faults = {}) {
        module_ = std::make_unique<sim::SimulatedModule>(InitialWindowSettings(), faults);
        ASSERT_TRUE(module_->Start());
        link_.SetNotifyTarget(&target_, message_);
        ASSERT_TRUE(link_.Open(module_->PortPath(), 9600, 0)) << link_.LastError().message;
    }

    void TearDown() override {
        link_.Close();
        if (module_) {
            module_->Stop();
        }
    }

    const std::uint32_t message_ = RegisterWindowMessage(kReplyMessageName);
    RecordingTarget target_;
    std::unique_ptr<sim::SimulatedModule> module_;
    QDSerial link_;
};

ModuleSettings Sample(int i) {
    ModuleSettings s;
    s.McuBaudCode = static_cast<std::uint8_t>(i % 8);
    s.McuParity = static_cast<std::uint8_t>(i % 3);
    s.RfFrequency = 140.0 + 37.13 * i;
    s.RfFactor = static_cast<std::uint8_t>(7 + i % 6);
    s.RfMode = static_cast<std::uint8_t>(i % 2);
    s.RfBw = static_cast<std::uint8_t>(6 + i % 4);
    s.CustID_H = static_cast<std::uint8_t>(0x11 * i);
    s.CustID_L = static_cast<std::uint8_t>(0xFF - i);
    s.NetID = static_cast<std::uint8_t>(0x21 * i);
    s.Power = static_cast<std::uint8_t>(1 + i % 7);
    return s;
}

TEST_F(LinkWithModule, EverySettingsFieldRoundTrips) {
    StartModule();
    std::size_t expected_posts = 0;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const ModuleSettings written = Sample(i);
        ASSERT_TRUE(link_.WriteAll(&written));
        ASSERT_TRUE(link_.ReadAll());
        expected_posts += 2;
        const auto posted = target_.WaitFor(expected_posts);
        ASSERT_EQ(posted.size(), expected_posts);
        EXPECT_EQ(posted.back().message, message_);
        EXPECT_EQ(posted.back().wParam, kNotifyGood);
        EXPECT_EQ(posted.back().lParam, 0);

        ModuleSettings expected = written;
        const std::uint32_t reg = EncodeFrequency(written.RfFrequency);
        expected.RfFrequency = DecodeFrequency(reg >> 16, (reg >> 8) & 0xFF, reg & 0xFF);
        EXPECT_EQ(link_.Decoded(), expected);
    }
}

TEST_F(LinkWithModule, ChecksumFailureNotifiesOnceAndChangesNothing) {
    StartModule();
    ASSERT_TRUE(link_.ReadAll());
    ASSERT_EQ(target_.WaitFor(1).size(), 1u);
    const ModuleSettings before = link_.Decoded();

    sim::Faults faults;
    faults.bad_checksum = true;
    module_->SetFaults(faults);
    ModuleSettings changed = Sample(3);
    ASSERT_TRUE(link_.WriteAll(&changed));
    const auto posted = target_.WaitFor(2);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].wParam, kNotifyChecksumError);
    std::this_thread::sleep_for(100ms);  // nothing else may follow
    EXPECT_EQ(target_.Snapshot().size(), 2u);
    EXPECT_EQ(link_.Decoded(), before);
}

TEST_F(LinkWithModule, ShortReplyIsAcknowledgedWithoutSettings) {
    sim::Faults faults;
    faults.short_reply = true;
    StartModule(faults);
    ASSERT_TRUE(link_.ReadAll());
    const auto posted = target_.WaitFor(1);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].wParam, kNotifyAcknowledged);
    EXPECT_EQ(link_.Decoded(), ModuleSettings{});
}

TEST_F(LinkWithModule, VersionIsTakenOnceAndSettingsRepliesLeaveTheFlag) {
    StartModule();
    const Frame13 write = BuildVersionWriteFrame(1);
    ASSERT_TRUE(link_.WriteFrame(write));
    ASSERT_EQ(target_.WaitFor(1).size(), 1u);
    const ModuleSettings taken = link_.TakeDecoded();
    EXPECT_EQ(taken.VersionReady, 1);
    EXPECT_EQ(taken.VersionCode, 1);
    EXPECT_EQ(link_.Decoded().VersionReady, 0);

    ASSERT_TRUE(link_.ReadAll());
    ASSERT_EQ(target_.WaitFor(2).size(), 2u);
    EXPECT_EQ(link_.Decoded().VersionReady, 0);
    EXPECT_EQ(link_.Decoded().VersionCode, 1);
    EXPECT_EQ(link_.Decoded().RfFactor, 11);
}

TEST_F(LinkWithModule, LostPortIsNotified) {
    sim::Faults faults;
    faults.lose_after = 1;
    StartModule(faults);
    ASSERT_TRUE(link_.ReadAll());
    const auto posted = target_.WaitFor(2);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].wParam, kNotifyGood);
    EXPECT_EQ(posted[1].wParam, kNotifyPortLost);
    link_.Close();
    EXPECT_FALSE(link_.IsOpen());
}

TEST_F(LinkWithModule, WithoutTargetRepliesAreDecodedSilently) {
    StartModule();
    link_.SetNotifyTarget(nullptr, message_);
    ModuleSettings written = Sample(5);
    ASSERT_TRUE(link_.WriteAll(&written));
    ASSERT_TRUE(module_->WaitForRequests(1, 5s));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (link_.Decoded().NetID != written.NetID && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(link_.Decoded().NetID, written.NetID);
    EXPECT_TRUE(target_.Snapshot().empty());
}

TEST_F(LinkWithModule, ReopensWithParityOnAPseudoTerminal) {
    // A pty drops PARENB and refuses parity on a later open with EINVAL, although it
    // applied everything else; the channel must still open.
    ModuleSettings odd = InitialWindowSettings();
    odd.McuParity = 1;
    sim::Faults faults;
    faults.match_line = true;
    module_ = std::make_unique<sim::SimulatedModule>(odd, faults);
    ASSERT_TRUE(module_->Start());
    link_.SetNotifyTarget(&target_, message_);
    for (std::size_t i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(link_.Open(module_->PortPath(), 9600, 1)) << link_.LastError().message;
        ASSERT_TRUE(link_.ReadAll());
        const auto posted = target_.WaitFor(i);
        ASSERT_EQ(posted.size(), i);
        EXPECT_EQ(posted.back().wParam, kNotifyGood);
        link_.Close();
    }
}

TEST_F(LinkWithModule, ObserverSeesRequestsAndReplyFrames) {
    std::mutex m;
    std::vector<std::pair<QDSerial::Direction, std::vector<std::uint8_t>>> seen;
    link_.SetFrameObserver([&](QDSerial::Direction d, std::span<const std::uint8_t> f) {
        std::lock_guard lock(m);
        seen.emplace_back(d, std::vector<std::uint8_t>(f.begin(), f.end()));
    });
    StartModule();
    ASSERT_TRUE(link_.ReadAll());
    ASSERT_EQ(target_.WaitFor(1).size(), 1u);
    std::lock_guard lock(m);
    ASSERT_EQ(seen.size(), 2u);
    const Frame23 request = BuildReadAllFrame();
    EXPECT_EQ(seen[0].first, QDSerial::Direction::Sent);
    EXPECT_EQ(seen[0].second, std::vector<std::uint8_t>(request.begin(), request.end()));
    EXPECT_EQ(seen[1].first, QDSerial::Direction::Received);
    const SettingsBlock block = EncodeSettingsBlock(InitialWindowSettings());
    const auto reply = BuildFrame(kRequestHeader, kCmdReadAll, block);
    EXPECT_EQ(seen[1].second, reply);
}

}  // namespace
}  // namespace tovra
