// The Win32 channel on a real line: under Wine, COM20 and COM5 are links to a
// pseudo-terminal whose other side is the native pty peer; scripts/test-windows.sh
// starts it and passes its control port in TOVRA_PEER_PORT.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "serial/cx_serial.h"
#include "serial/port_list.h"
#include "tests/serial/recording_channel.h"
#include "tests/serial/wait_until.h"
#include "tests/serial/win32/peer_link.h"
#include "tests/wine/pattern.h"

namespace tovra {
namespace {

using namespace std::chrono_literals;
using test::Pattern;
using test::PeerLink;
using test::RecordingChannel;
using test::WaitUntil;

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// Port numbers the script linked to the peer: one in each name form.
unsigned LongPortNumber() {
    return static_cast<unsigned>(std::stoul(EnvOr("TOVRA_TEST_COM_LONG", "20")));
}
unsigned ShortPortNumber() {
    return static_cast<unsigned>(std::stoul(EnvOr("TOVRA_TEST_COM_SHORT", "5")));
}
// A COM link in the prefix that leads to no device; 0 when the script made none.
unsigned DanglingPortNumber() {
    return static_cast<unsigned>(std::stoul(EnvOr("TOVRA_TEST_COM_DANGLING", "0")));
}
std::string LongPort() {
    return "COM" + std::to_string(LongPortNumber());
}
std::string ShortPort() {
    return "COM" + std::to_string(ShortPortNumber());
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

double FileTimeSeconds(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

// Also keeps a handle to the reader thread, taken on that thread at its first byte, so a
// test can read the thread's CPU time and see it end.
class ThreadWatchingChannel : public RecordingChannel {
  public:
    ~ThreadWatchingChannel() {
        Close();
        if (thread_ != nullptr) {
            CloseHandle(thread_);
        }
    }
    HANDLE ReaderHandle() const { return has_thread_.load() ? thread_ : nullptr; }

  protected:
    void OnByte(unsigned char b) override {
        if (!has_thread_.load()) {
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread_,
                            0, FALSE, DUPLICATE_SAME_ACCESS);
            has_thread_.store(true);
        }
        RecordingChannel::OnByte(b);
    }

  private:
    HANDLE thread_ = nullptr;
    std::atomic<bool> has_thread_{false};
};

class WineLine : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string port = EnvOr("TOVRA_PEER_PORT", "");
        if (port.empty()) {
            GTEST_SKIP() << "no pty peer: run these through scripts/test-windows.sh";
        }
        ASSERT_TRUE(peer_.Connect(static_cast<unsigned short>(std::stoul(port)))) << peer_.Error();
        ASSERT_TRUE(peer_.Reset());
    }

    // Bytes from the peer reach the channel, and bytes from the channel reach the peer.
    void ExpectBothWays(ThreadWatchingChannel& channel, std::uint32_t seed) {
        const std::size_t before = channel.ByteCount();
        ASSERT_TRUE(peer_.Send(16, seed, 16));
        ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() >= before + 16; }));
        const std::vector<std::uint8_t> all = channel.Bytes();
        EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + before, all.end()), Pattern(16, seed));
        const std::vector<std::uint8_t> out = Pattern(16, seed + 1);
        ASSERT_TRUE(channel.Write(out.data(), out.size()));
        EXPECT_EQ(peer_.Receive(16, 20000), out);
    }

    PeerLink peer_;
};

TEST_F(WineLine, OpensClosesAndReopens) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    EXPECT_TRUE(channel.IsOpen());
    ExpectBothWays(channel, 1);
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_TRUE(channel.Close());  // closing a closed channel does nothing
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    ExpectBothWays(channel, 2);
}

TEST_F(WineLine, OpensEveryNameForm) {
    // 9 and below by the short name, 10 and above in the device namespace, and a name
    // that is already in device form as it is.
    const std::string names[] = {ShortPort(), LongPort(), "\\\\.\\" + LongPort(),
                                 "com" + std::to_string(LongPortNumber())};
    std::uint32_t seed = 10;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ThreadWatchingChannel channel;
        ASSERT_TRUE(channel.Open(name, 9600, 0)) << channel.LastError().message;
        ExpectBothWays(channel, seed += 2);
    }
}

TEST_F(WineLine, SamePortOpenChangesOnlySpeedAndParity) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    ASSERT_TRUE(peer_.Send(1, 1, 1));
    ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() == 1; }));
    const std::thread::id reader = channel.ReaderThread();

    const struct {
        unsigned baud;
        unsigned parity;
        const char* parodd;
        const char* inpck;
    } cases[] = {
        {9600, 0, "0", "0"},   {19200, 2, "0", "1"}, {57600, 1, "1", "1"},
        {115200, 0, "0", "0"}, {1200, 1, "1", "1"},  {4800, 2, "0", "1"},
    };
    std::uint32_t seed = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        ASSERT_TRUE(channel.Open(LongPort(), c.baud, c.parity)) << channel.LastError().message;
        std::map<std::string, std::string> attr = peer_.Attributes();
        EXPECT_EQ(attr["baud"], std::to_string(c.baud));
        // A Linux pseudo-terminal drops the parity-enable flag; the odd flag stays, and
        // Wine turns input parity checking on exactly when there is a parity.
        EXPECT_EQ(attr["parodd"], c.parodd);
        EXPECT_EQ(attr["inpck"], c.inpck);
        EXPECT_EQ(attr["bits"], "8");
        EXPECT_EQ(attr["stop"], "1");
        EXPECT_EQ(attr["crtscts"], "0");
        EXPECT_EQ(attr["ixon"], "0");
        EXPECT_EQ(attr["ixoff"], "0");
        EXPECT_EQ(attr["icanon"], "0");
        EXPECT_EQ(attr["echo"], "0");
        // Not reopened: the same reader goes on receiving.
        ExpectBothWays(channel, seed += 2);
        EXPECT_EQ(channel.ReaderThread(), reader);
    }
}

TEST_F(WineLine, UnsupportedSettingsFailWithTheirKind) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    const struct {
        unsigned baud;
        unsigned parity;
    } cases[] = {{12345, 0}, {0, 0}, {9600, 3}, {230400, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.baud) + "/" + std::to_string(c.parity));
        EXPECT_FALSE(channel.SetState(c.baud, c.parity));
        EXPECT_EQ(channel.LastError().kind, SerialErrorKind::UnsupportedSetting);
        EXPECT_TRUE(channel.IsOpen());  // the port stays as it was
    }
    ThreadWatchingChannel other;
    EXPECT_FALSE(other.Open(LongPort(), 12345, 0));
    EXPECT_EQ(other.LastError().kind, SerialErrorKind::UnsupportedSetting);
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(WineLine, LongWriteArrivesWholeAndInOrder) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 115200, 0)) << channel.LastError().message;
    const std::vector<std::uint8_t> data = Pattern(2500, 7);  // chunks of 1024, 1024, 452
    ASSERT_TRUE(channel.Write(data.data(), data.size())) << channel.LastError().message;
    EXPECT_EQ(peer_.Receive(data.size(), 20000), data);
}

TEST_F(WineLine, WriteRightAfterOpenIsNeverLost) {
    // The reader must not purge the port when it starts: a request sent at once goes out.
    for (std::uint32_t round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ThreadWatchingChannel channel;
        ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
        const std::vector<std::uint8_t> request = Pattern(23, round);
        ASSERT_TRUE(channel.Write(request.data(), request.size()));
        ASSERT_EQ(peer_.Receive(request.size(), 20000), request);
    }
}

TEST_F(WineLine, BurstsReachOnByteOnceAndInOrder) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 115200, 0)) << channel.LastError().message;
    const struct {
        std::size_t n;
        std::size_t burst;
    } cases[] = {{1, 1}, {500, 3}, {5000, 700}, {20000, 2000}};
    std::uint32_t seed = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        const std::size_t before = channel.ByteCount();
        ASSERT_TRUE(peer_.Send(c.n, ++seed, c.burst));
        ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() >= before + c.n; }, 30s));
        const std::vector<std::uint8_t> all = channel.Bytes();
        ASSERT_EQ(all.size(), before + c.n);
        EXPECT_EQ(std::vector<std::uint8_t>(all.begin() + before, all.end()), Pattern(c.n, seed));
    }
}

TEST_F(WineLine, IdleReaderSleepsAndClosesQuickly) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    ASSERT_TRUE(peer_.Send(1, 3, 1));
    ASSERT_TRUE(WaitUntil([&] { return channel.ReaderHandle() != nullptr; }));
    const HANDLE reader = channel.ReaderHandle();

    FILETIME created, exited, kernel0, user0, kernel1, user1;
    ASSERT_TRUE(GetThreadTimes(reader, &created, &exited, &kernel0, &user0));
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(GetThreadTimes(reader, &created, &exited, &kernel1, &user1));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = FileTimeSeconds(kernel1) - FileTimeSeconds(kernel0) +
                       FileTimeSeconds(user1) - FileTimeSeconds(user0);
    std::printf("[ figure   ] idle reader CPU: %.4f s over %.2f s (%.2f%%)\n", cpu, wall,
                100.0 * cpu / wall);
    // A reader that spins uses about a whole core; a sleeping one next to nothing. The
    // bound is far from both, so a loaded machine cannot make this fail.
    EXPECT_LT(cpu, 0.25 * wall);

    const auto close_start = std::chrono::steady_clock::now();
    EXPECT_TRUE(channel.Close());
    const double close_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - close_start)
            .count();
    std::printf("[ figure   ] Close with an idle reader: %.2f ms\n", close_ms);
    EXPECT_EQ(WaitForSingleObject(reader, 20000), WAIT_OBJECT_0);  // the reader has ended
}

TEST_F(WineLine, PeerHangupMidFrameReportsPortLostOnce) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    // The start of a reply frame, then the line goes away.
    ASSERT_TRUE(peer_.SendBytes({0xAF, 0xAF, 0x00, 0x00, 0xAF}));
    ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() == 5; }));
    const HANDLE reader = channel.ReaderHandle();
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(peer_.Hangup());

    ASSERT_TRUE(WaitUntil([&] { return channel.PortLostCount() > 0; }));
    EXPECT_EQ(WaitForSingleObject(reader, 20000), WAIT_OBJECT_0);  // the reader ended
    EXPECT_EQ(channel.PortLostCount(), 1);
    EXPECT_EQ(channel.BytesAfterPortLost(), 0u);
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::DeviceGone) << channel.LastError().message;
    EXPECT_EQ(channel.Bytes(), (std::vector<std::uint8_t>{0xAF, 0xAF, 0x00, 0x00, 0xAF}));
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(channel.PortLostCount(), 1);
}

TEST_F(WineLine, StalledPeerMakesWriteFailWithinItsBound) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 115200, 0)) << channel.LastError().message;
    ASSERT_TRUE(peer_.SetReading(false));
    // Far more than the terminal's buffers hold.
    const std::vector<std::uint8_t> data = Pattern(4 << 20, 9);
    const auto start = std::chrono::steady_clock::now();
    auto done =
        std::async(std::launch::async, [&] { return channel.Write(data.data(), data.size()); });
    const bool returned = done.wait_for(120s) == std::future_status::ready;
    if (!returned) {
        peer_.SetReading(true);  // let the write go, so the test can end
    }
    const bool result = done.get();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ figure   ] Write to a stalled line returned after %.2f s\n", seconds);
    ASSERT_TRUE(returned) << "Write hung on a line that takes no data";
    EXPECT_FALSE(result);
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::IoError) << channel.LastError().message;

    // What reached the line is an exact prefix of the data: nothing twice, nothing skipped.
    ASSERT_TRUE(peer_.SetReading(true));
    std::size_t count = 0;
    WaitUntil(
        [&] {
            const std::size_t now = peer_.Count();
            const bool settled = now == count && now > 0;
            count = now;
            return settled;
        },
        20s);
    const std::vector<std::uint8_t> got = peer_.Receive(count, 20000);
    ASSERT_GT(got.size(), 0u);
    ASSERT_LT(got.size(), data.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
}

TEST_F(WineLine, SecondOpenOfAHeldPortFailsAsBusy) {
    if (RunningUnderWine()) {
        GTEST_SKIP() << "Wine does not enforce exclusive opens of serial ports";
    }
    ThreadWatchingChannel first;
    ASSERT_TRUE(first.Open(LongPort(), 9600, 0)) << first.LastError().message;
    ThreadWatchingChannel second;
    EXPECT_FALSE(second.Open(LongPort(), 9600, 0));
    EXPECT_EQ(second.LastError().kind, SerialErrorKind::Busy);
    EXPECT_FALSE(PortExists(LongPortNumber()));  // held elsewhere counts as not there
}

TEST_F(WineLine, OpenErrorsHaveTheirKinds) {
    struct Case {
        std::string name;
        SerialErrorKind kind;
    };
    std::vector<Case> cases = {
        {"COM77", SerialErrorKind::NotFound},
        {"\\\\.\\COM77", SerialErrorKind::NotFound},
        {"COM", SerialErrorKind::NotFound},  // no number: port 0
        {"", SerialErrorKind::NotFound},
    };
    if (DanglingPortNumber() != 0) {
        cases.push_back({"COM" + std::to_string(DanglingPortNumber()), SerialErrorKind::NotFound});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ThreadWatchingChannel channel;
        EXPECT_FALSE(channel.Open(c.name, 9600, 0));
        EXPECT_FALSE(channel.IsOpen());
        const SerialError e = channel.LastError();
        EXPECT_EQ(e.kind, c.kind) << e.message;
        EXPECT_FALSE(e.message.empty());
    }
}

TEST_F(WineLine, WriteAfterCloseFailsAtOnce) {
    ThreadWatchingChannel channel;
    ASSERT_TRUE(channel.Open(LongPort(), 9600, 0)) << channel.LastError().message;
    ASSERT_TRUE(channel.Close());
    const std::uint8_t byte = 0x55;
    EXPECT_FALSE(channel.Write(&byte, 1));
    EXPECT_FALSE(channel.SetState(9600, 0));
}

TEST_F(WineLine, ListingFindsTheLinkedPorts) {
    EXPECT_TRUE(PortExists(LongPortNumber()));
    EXPECT_TRUE(PortExists(ShortPortNumber()));
    EXPECT_FALSE(PortExists(77));
    EXPECT_FALSE(PortExists(0));
    const std::vector<PortInfo> ports = ListPorts();
    std::vector<std::string> names;
    for (const PortInfo& p : ports) {
        names.push_back(p.name);
        EXPECT_FALSE(p.description.empty()) << p.name;
        EXPECT_FALSE(p.is_virtual) << p.name;
    }
    const auto has = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    EXPECT_TRUE(has(LongPort()));
    EXPECT_TRUE(has(ShortPort()));
    EXPECT_FALSE(has("COM77"));
    if (DanglingPortNumber() != 0) {
        EXPECT_FALSE(PortExists(DanglingPortNumber()));
        EXPECT_FALSE(has("COM" + std::to_string(DanglingPortNumber())));
    }
    // COMn order, as the window lists them.
    for (std::size_t i = 1; i < ports.size(); ++i) {
        EXPECT_LT(ComPortNumber(ports[i - 1].name), ComPortNumber(ports[i].name));
    }
    EXPECT_EQ(VirtualPortDirectory(), "");
}

}  // namespace
}  // namespace tovra
