// The link against a module outside this process, named by TOVRA_TEST_MODULE_PORT: under
// Wine a COM port linked to a native `tovra-rf simulate`, natively the simulator's link
// path. Without it these tests are skipped.
//
// Every test writes what it reads back, so none depends on the module's starting state
// or on the order the tests run in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "link/qd_serial.h"
#include "protocol/frame.h"
#include "protocol/frequency.h"
#include "recording_target.h"

namespace tovra {
namespace {

using tovra::testing::RecordingTarget;

std::string ExternalPort() {
    const char* port = std::getenv("TOVRA_TEST_MODULE_PORT");
    return port != nullptr ? port : "";
}

// The record as the module stores it: the frequency goes through the 24-bit register.
ModuleSettings AsStored(const ModuleSettings& written) {
    ModuleSettings expected = written;
    const std::uint32_t reg = EncodeFrequency(written.RfFrequency);
    expected.RfFrequency =
        DecodeFrequency(static_cast<std::uint8_t>(reg >> 16), static_cast<std::uint8_t>(reg >> 8),
                        static_cast<std::uint8_t>(reg));
    expected.VersionCode = 0;
    expected.VersionReady = 0;
    return expected;
}

class LinkWithExternalModule : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = ExternalPort();
        if (port_.empty()) {
            GTEST_SKIP() << "TOVRA_TEST_MODULE_PORT is not set";
        }
        link_.SetNotifyTarget(&target_, message_);
        ASSERT_TRUE(link_.Open(port_, 9600, 0)) << port_ << ": " << link_.LastError().message;
    }

    void TearDown() override { link_.Close(); }

    // Waits for notification number count and checks it is a good reply.
    void ExpectGoodReply(std::size_t count) {
        const auto posted = target_.WaitFor(count);
        ASSERT_EQ(posted.size(), count) << "no reply from the module on " << port_;
        EXPECT_EQ(posted.back().message, message_);
        EXPECT_EQ(posted.back().wParam, kNotifyGood);
        EXPECT_EQ(posted.back().lParam, 0);
    }

    const std::uint32_t message_ = RegisterWindowMessage(kReplyMessageName);
    std::string port_;
    RecordingTarget target_;
    QDSerial link_;
};

struct SettingsCase {
    const char* name;
    ModuleSettings settings;
};

// Test names in ctest output show the case, not its bytes.
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

// Each field away from its neighbours' values and, across the cases, at both ends of its
// range, so a field decoded into the wrong place or truncated shows.
const SettingsCase kSettingsCases[] = {
    {"low_ends", {1, 0, 137.0, 7, 0, 6, 0x00, 0x01, 0x02, 1, 0, 0}},
    {"high_ends", {0, 2, 1020.0, 12, 1, 9, 0xFF, 0xFE, 0xFD, 7, 0, 0}},
    {"middle", {4, 1, 433.125, 9, 1, 7, 0x12, 0x34, 0x56, 4, 0, 0}},
    {"fractional_frequency", {7, 2, 868.3456, 11, 0, 8, 0xA5, 0x5A, 0xC3, 2, 0, 0}},
};

class SettingsRoundTrip : public LinkWithExternalModule,
                          public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsRoundTrip, WriteAllThenReadAllGivesEveryField) {
    const ModuleSettings written = GetParam().settings;
    const ModuleSettings expected = AsStored(written);

    ASSERT_TRUE(link_.WriteAll(&written));
    ExpectGoodReply(1);
    EXPECT_EQ(link_.Decoded(), expected) << "Write All reply";

    ASSERT_TRUE(link_.ReadAll());
    ExpectGoodReply(2);
    EXPECT_EQ(link_.Decoded(), expected) << "Read All reply";
    // One notification per reply: nothing more arrived with the second.
    EXPECT_EQ(target_.Snapshot().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(LinkWithExternalModule, SettingsRoundTrip,
                         ::testing::ValuesIn(kSettingsCases),
                         [](const ::testing::TestParamInfo<SettingsCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(LinkWithExternalModule, ReadAllAfterReopenSeesTheLastWrite) {
    // The module keeps its settings across opens of the port, as a real one does.
    const ModuleSettings written = kSettingsCases[2].settings;
    ASSERT_TRUE(link_.WriteAll(&written));
    ExpectGoodReply(1);
    link_.Close();
    ASSERT_TRUE(link_.Open(port_, 9600, 0)) << link_.LastError().message;
    ASSERT_TRUE(link_.ReadAll());
    ExpectGoodReply(2);
    EXPECT_EQ(link_.Decoded(), AsStored(written));
}

TEST_F(LinkWithExternalModule, VersionWriteAndReadAreTakenOnce) {
    std::size_t replies = 0;
    for (const std::uint8_t code : {1, 0, 1}) {
        SCOPED_TRACE(static_cast<int>(code));
        const Frame13 write = BuildVersionWriteFrame(code);
        ASSERT_TRUE(link_.WriteFrame(write));
        ExpectGoodReply(++replies);
        ModuleSettings taken = link_.TakeDecoded();
        EXPECT_EQ(taken.VersionReady, 1);
        EXPECT_EQ(taken.VersionCode, code);
        EXPECT_EQ(link_.Decoded().VersionReady, 0) << "taken once";

        const Frame13 read = BuildVersionReadFrame();
        ASSERT_TRUE(link_.WriteFrame(read));
        ExpectGoodReply(++replies);
        taken = link_.TakeDecoded();
        EXPECT_EQ(taken.VersionReady, 1);
        EXPECT_EQ(taken.VersionCode, code);
        EXPECT_EQ(link_.Decoded().VersionReady, 0);
    }
    // A settings reply leaves the version value and does not raise the flag.
    ASSERT_TRUE(link_.ReadAll());
    ExpectGoodReply(++replies);
    EXPECT_EQ(link_.Decoded().VersionReady, 0);
    EXPECT_EQ(link_.Decoded().VersionCode, 1);
    // Back to v1.7 for whoever uses the module next.
    ASSERT_TRUE(link_.WriteFrame(BuildVersionWriteFrame(0)));
    ExpectGoodReply(++replies);
}

TEST_F(LinkWithExternalModule, RequestsOnAClosedPortFailAndNothingIsNotified) {
    ASSERT_TRUE(link_.ReadAll());
    ExpectGoodReply(1);
    link_.Close();
    EXPECT_FALSE(link_.IsOpen());

    const ModuleSettings settings = kSettingsCases[0].settings;
    EXPECT_FALSE(link_.ReadAll());
    EXPECT_FALSE(link_.WriteAll(&settings));
    EXPECT_FALSE(link_.WriteFrame(BuildVersionReadFrame()));
    // Open again: no record is no request, and the port still answers afterwards.
    ASSERT_TRUE(link_.Open(port_, 9600, 0)) << link_.LastError().message;
    EXPECT_FALSE(link_.WriteAll(nullptr));
    ASSERT_TRUE(link_.ReadAll());
    ExpectGoodReply(2);
    // Only the two Read All replies were notified: the refused requests sent nothing.
    EXPECT_EQ(target_.Snapshot().size(), 2u);
}

}  // namespace
}  // namespace tovra
