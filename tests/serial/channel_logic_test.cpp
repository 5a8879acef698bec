// The channel's shared logic over a scripted port: call order, chunking, partial-write
// accounting, the retry bound and the reader's start and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <string>
#include <vector>

#include "tests/serial/fake_port.h"
#include "tests/serial/recording_channel.h"
#include "tests/serial/wait_until.h"

namespace tovra {
namespace {

using namespace std::chrono_literals;
using test::FakePort;
using test::RecordingChannel;
using test::WaitUntil;
using Outcome = FakePort::Outcome;
using Calls = std::vector<std::string>;

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);  // no two neighbours alike
    }
    return data;
}

bool Contains(const Calls& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

// Position of call in calls, or calls.size() when missing.
std::size_t IndexOf(const Calls& calls, const std::string& call) {
    return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
}

TEST(ChannelLogic, OpenConfiguresStartsTheReaderAndCloseJoinsItBeforeReleasing) {
    FakePort port("A");
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 1));
    ASSERT_TRUE(WaitUntil([&] { return Contains(port.Calls(), "loop-start"); }));
    EXPECT_EQ(port.Calls(), (Calls{"open", "configure 9600 1", "prepare", "loop-start"}));

    channel.Close();
    const Calls calls = port.Calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(Calls(calls.begin() + 4, calls.end()),
              (Calls{"signal", "loop-end", "release", "close"}));
    EXPECT_FALSE(channel.IsOpen());
}

TEST(ChannelLogic, AReaderSlowToStopIsStillJoinedBeforeTheHandlesGo) {
    FakePort port("A");
    port.stop_delay = 400ms;  // longer than the 200 ms grace
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    ASSERT_TRUE(WaitUntil([&] { return Contains(port.Calls(), "loop-start"); }));
    channel.Close();
    const Calls calls = port.Calls();
    EXPECT_LT(IndexOf(calls, "loop-end"), IndexOf(calls, "release"));
    EXPECT_LT(IndexOf(calls, "release"), IndexOf(calls, "close"));
}

TEST(ChannelLogic, AFailedOpenStepLeavesTheChannelClosed) {
    const struct {
        const char* what;
        bool open_ok, configure_ok, prepare_ok;
        Calls calls;
        SerialErrorKind kind;
    } cases[] = {
        {"open", false, true, true, {"open"}, SerialErrorKind::Busy},
        {"configure",
         true,
         false,
         true,
         {"open", "configure 9600 0", "close"},
         SerialErrorKind::UnsupportedSetting},
        // A port that cannot receive is reported, not left open looking healthy.
        {"reader",
         true,
         true,
         false,
         {"open", "configure 9600 0", "prepare", "release", "close"},
         SerialErrorKind::IoError},
    };
    for (const auto& c : cases) {
        FakePort port("A");
        port.open_ok = c.open_ok;
        port.configure_ok = c.configure_ok;
        port.prepare_ok = c.prepare_ok;
        RecordingChannel channel;
        EXPECT_FALSE(channel.OpenPort("A", 9600, 0)) << c.what;
        EXPECT_FALSE(channel.IsOpen()) << c.what;
        EXPECT_EQ(port.Calls(), c.calls) << c.what;
        EXPECT_EQ(channel.LastError().kind, c.kind) << c.what;
    }
    RecordingChannel channel;
    EXPECT_FALSE(channel.Open("nowhere", 9600, 0));
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::NotFound);
}

TEST(ChannelLogic, OpenOnTheSameNameOnlyReconfigures) {
    FakePort a("A");
    FakePort b("B");
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    ASSERT_TRUE(WaitUntil([&] { return Contains(a.Calls(), "loop-start"); }));
    ASSERT_TRUE(channel.Open("A", 115200, 2));
    EXPECT_EQ(a.Calls(),
              (Calls{"open", "configure 9600 0", "prepare", "loop-start", "configure 115200 2"}));

    ASSERT_TRUE(channel.Open("B", 1200, 1));
    EXPECT_TRUE(Contains(a.Calls(), "close"));
    EXPECT_EQ(b.Calls().front(), "open");
    EXPECT_EQ(channel.PortName(), "B");
}

TEST(ChannelLogic, OpenAfterTheDeviceWentAwayReopensInFull) {
    FakePort port("A");
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    port.Lose();
    ASSERT_TRUE(WaitUntil([&] { return channel.PortLostCount() > 0; }));
    {
        std::lock_guard lock(port.mutex);
        port.lost = false;  // plugged in again
    }
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    const Calls calls = port.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 2);
    port.Inject({1, 2, 3});
    EXPECT_TRUE(WaitUntil([&] { return channel.ByteCount() == 3; }));
}

TEST(ChannelLogic, WriteGoesOutInChunksOfAtMost1024) {
    FakePort port("A");
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    const std::vector<std::uint8_t> data = Pattern(2500);
    ASSERT_TRUE(channel.Write(data.data(), data.size()));
    Calls chunks;
    for (const std::string& call : port.Calls()) {
        if (call.rfind("chunk", 0) == 0) {
            chunks.push_back(call);
        }
    }
    EXPECT_EQ(chunks, (Calls{"chunk 1024", "chunk 1024", "chunk 452"}));
    EXPECT_EQ(port.Wire(), data);
}

TEST(ChannelLogic, WriteCountsPartialTransfersExactlyAndBoundsItsRetries) {
    const struct {
        const char* what;
        std::size_t length;
        std::vector<FakePort::WriteStep> script;
        bool result;
        std::size_t attempts;
    } cases[] = {
        {"partial time-out, error, then whole chunks",
         2500,
         {{Outcome::TimedOut, 300}, {Outcome::Failed, 0}},
         true,
         5},
        {"partial Ok counts what went",  // a short completion is not the whole chunk
         100,
         {{Outcome::Ok, 40}},
         true,
         2},
        {"three time-outs in a row",
         2500,
         {{Outcome::TimedOut, 0}, {Outcome::TimedOut, 0}, {Outcome::TimedOut, 0}},
         false,
         3},
        {"errors and time-outs count together",
         10,
         {{Outcome::Failed, 0}, {Outcome::TimedOut, 0}, {Outcome::Failed, 0}},
         false,
         3},
        {"two failures then success", 10, {{Outcome::TimedOut, 0}, {Outcome::Failed, 0}}, true, 3},
        {"a slow line that keeps taking bytes is not stuck",
         50,
         {{Outcome::TimedOut, 10},
          {Outcome::TimedOut, 10},
          {Outcome::TimedOut, 10},
          {Outcome::TimedOut, 10}},
         true,
         5},
        {"an Ok that moved nothing is no progress",
         10,
         {{Outcome::Ok, 0}, {Outcome::Ok, 0}, {Outcome::Ok, 0}},
         false,
         3},
        {"device gone ends at once", 10, {{Outcome::Gone, 4}}, false, 1},
    };
    for (const auto& c : cases) {
        FakePort port("A");
        port.ScriptWrites(c.script);
        RecordingChannel channel;
        ASSERT_TRUE(channel.Open("A", 9600, 0));
        const std::vector<std::uint8_t> data = Pattern(c.length);
        EXPECT_EQ(channel.Write(data.data(), data.size()), c.result) << c.what;
        const Calls calls = port.Calls();
        const auto attempts = static_cast<std::size_t>(
            std::count_if(calls.begin(), calls.end(),
                          [](const std::string& s) { return s.rfind("chunk", 0) == 0; }));
        EXPECT_EQ(attempts, c.attempts) << c.what;
        // Nothing sent twice, nothing skipped: the wire is exactly the data, or a prefix of it.
        const std::vector<std::uint8_t> wire = port.Wire();
        ASSERT_LE(wire.size(), data.size()) << c.what;
        EXPECT_TRUE(std::equal(wire.begin(), wire.end(), data.begin())) << c.what;
        if (c.result) {
            EXPECT_EQ(wire.size(), data.size()) << c.what;
        } else {
            EXPECT_NE(channel.LastError().kind, SerialErrorKind::None) << c.what;
        }
    }
}

TEST(ChannelLogic, WriteOnAClosedChannelFailsWithoutTouchingThePort) {
    FakePort port("A");
    RecordingChannel channel;
    const std::uint8_t byte = 1;
    EXPECT_FALSE(channel.Write(&byte, 1));
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    channel.Close();
    EXPECT_FALSE(channel.Write(&byte, 1));
    EXPECT_FALSE(Contains(port.Calls(), "chunk 1"));
    EXPECT_TRUE(channel.Close());
}

TEST(ChannelLogic, ReaderDeliversEveryByteInOrderAndReportsALossOnce) {
    FakePort port("A");
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    std::vector<std::uint8_t> expected;
    for (std::size_t size : {1u, 1024u, 3u, 700u}) {
        std::vector<std::uint8_t> piece = Pattern(size);
        expected.insert(expected.end(), piece.begin(), piece.end());
        port.Inject(std::move(piece));
    }
    ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() == expected.size(); }));
    EXPECT_EQ(channel.Bytes(), expected);

    port.Lose();
    ASSERT_TRUE(WaitUntil([&] { return channel.PortLostCount() > 0; }));
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::DeviceGone);
    channel.Close();
    EXPECT_EQ(channel.PortLostCount(), 1);
    EXPECT_TRUE(Contains(port.Calls(), "close"));
}

// Closing from the reader's own hook is a misuse; it must not deadlock or abort.
class ClosingOnLoss : public RecordingChannel {
  protected:
    void OnPortLost() override {
        RecordingChannel::OnPortLost();
        Close();
    }
};

TEST(ChannelLogic, CloseFromTheReaderHookDoesNotJoinItself) {
    FakePort port("A");
    ClosingOnLoss channel;
    ASSERT_TRUE(channel.Open("A", 9600, 0));
    port.Lose();
    ASSERT_TRUE(WaitUntil([&] { return channel.PortLostCount() > 0; }));
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsOpen());
}

}  // namespace
}  // namespace tovra
