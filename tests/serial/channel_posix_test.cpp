// The channel on a pseudo-terminal: the test plays the device on the master side.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include "serial/cx_serial.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/recording_channel.h"
#include "tests/serial/wait_until.h"

namespace tovra {
namespace {

using namespace std::chrono_literals;
using test::PtyPair;
using test::RecordingChannel;
using test::WaitUntil;

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Knows the reader thread's CPU clock, taken on the reader thread at its first byte.
class CpuClockChannel : public RecordingChannel {
  public:
    ~CpuClockChannel() { Close(); }
    bool HasClock() const { return has_clock_.load(); }
    clockid_t ReaderClock() const { return clock_; }

  protected:
    void OnByte(unsigned char b) override {
        if (!has_clock_.load()) {
            pthread_getcpuclockid(pthread_self(), &clock_);
            has_clock_.store(true);
        }
        RecordingChannel::OnByte(b);
    }

  private:
    clockid_t clock_{};
    std::atomic<bool> has_clock_{false};
};

bool WriteAll(int fd, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads from fd until count bytes came or the deadline passed.
std::vector<std::uint8_t> ReadCount(int fd, std::size_t count, std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::uint8_t buffer[4096];
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> data(n);
    for (auto& b : data) {
        b = static_cast<std::uint8_t>(byte(rng));
    }
    return data;
}

class PtyChannel : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty_.Ok()) << "openpty failed"; }

    // Proves the reader runs by sending a byte from the device side.
    void ExpectReceives(RecordingChannel& channel) {
        const std::size_t before = channel.ByteCount();
        ASSERT_TRUE(WriteAll(pty_.Master(), {0x5A}));
        EXPECT_TRUE(WaitUntil([&] { return channel.ByteCount() == before + 1; }));
    }

    PtyPair pty_;
};

TEST_F(PtyChannel, OpensClosesAndReopens) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 9600, 0)) << channel.LastError().message;
    EXPECT_TRUE(channel.IsOpen());
    EXPECT_EQ(channel.PortName(), pty_.SlavePath());
    ExpectReceives(channel);

    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsOpen());
    const std::uint8_t byte = 1;
    EXPECT_FALSE(channel.Write(&byte, 1));  // at once, not after a time-out
    EXPECT_TRUE(channel.Close());           // closing a closed channel is harmless

    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 115200, 2)) << channel.LastError().message;
    ExpectReceives(channel);
    ASSERT_TRUE(channel.Write(&byte, 1));
    EXPECT_EQ(ReadCount(pty_.Master(), 1, 10s), std::vector<std::uint8_t>{1});
}

TEST_F(PtyChannel, AppliesRawEightNoneOneWithoutFlowControl) {
    // Prime the line with cooked settings the channel must undo.
    termios cooked{};
    ASSERT_EQ(tcgetattr(pty_.Slave(), &cooked), 0);
    cooked.c_iflag |= ICRNL | IXON | ISTRIP;
    cooked.c_oflag |= OPOST;
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_cflag |= CSTOPB | CRTSCTS;
    ASSERT_EQ(tcsetattr(pty_.Slave(), TCSANOW, &cooked), 0);

    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 19200, 0)) << channel.LastError().message;
    termios t{};
    ASSERT_EQ(tcgetattr(pty_.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(cfgetispeed(&t), B19200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_iflag & INPCK, 0u);  // parity checking goes with parity only
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | INLCR | IGNCR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

    // Bytes a cooked line would alter or swallow (XON/XOFF, CR, ^C, high bit) arrive as sent.
    const std::vector<std::uint8_t> tricky = {0x11, 0x13, 0x0D, 0x0A, 0x03, 0x7F, 0xFF, 0x00};
    ASSERT_TRUE(WriteAll(pty_.Master(), tricky));
    EXPECT_TRUE(WaitUntil([&] { return channel.ByteCount() == tricky.size(); }));
    EXPECT_EQ(channel.Bytes(), tricky);
}

TEST_F(PtyChannel, OpenOnTheSamePortChangesOnlySpeedAndParity) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 9600, 0));
    ExpectReceives(channel);
    const std::thread::id reader = channel.ReaderThread();

    const struct {
        unsigned baud;
        unsigned parity;
        speed_t speed;
        tcflag_t parity_bits;
    } cases[] = {
        {1200, 1, B1200, PARENB | PARODD}, {57600, 2, B57600, PARENB}, {115200, 0, B115200, 0},
        {4800, 1, B4800, PARENB | PARODD}, {2400, 0, B2400, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(channel.Open(pty_.SlavePath(), c.baud, c.parity)) << c.baud;
        termios t{};
        ASSERT_EQ(tcgetattr(pty_.Master(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed) << c.baud;
        // Linux pseudo-terminals drop PARENB (they carry no parity) but keep PARODD.
        EXPECT_EQ(t.c_cflag & PARODD, c.parity_bits & PARODD) << c.baud;
        // Parity checking, on exactly when parity is: what a pty peer can see of even parity.
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != 0) << c.baud;
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    }
    // Not reopened: the same reader is still running and nothing was lost.
    ExpectReceives(channel);
    EXPECT_EQ(channel.ReaderThread(), reader);
    EXPECT_EQ(channel.PortLostCount(), 0);
}

TEST_F(PtyChannel, ReopensWithParityAtAnotherSpeed) {
    // Each open applies its own speed and parity, whatever the line had before.
    const struct {
        unsigned baud;
        unsigned parity;
        speed_t speed;
    } opens[] = {{9600, 1, B9600}, {19200, 1, B19200}, {4800, 2, B4800}, {9600, 2, B9600}};
    for (const auto& o : opens) {
        RecordingChannel channel;
        ASSERT_TRUE(channel.Open(pty_.SlavePath(), o.baud, o.parity))
            << o.baud << ": " << channel.LastError().message;
        termios t{};
        ASSERT_EQ(tcgetattr(pty_.Master(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), o.speed) << o.baud;
        EXPECT_EQ((t.c_cflag & PARODD) != 0, o.parity == 1) << o.baud;
        ExpectReceives(channel);
        channel.Close();
    }
}

TEST_F(PtyChannel, UnsupportedSettingsFailAndLeaveTheLineAsItWas) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 38400, 1));
    const struct {
        unsigned baud;
        unsigned parity;
    } cases[] = {{0, 0}, {300, 0}, {9601, 0}, {230400, 0}, {9600, 3}, {9600, 256}};
    for (const auto& c : cases) {
        EXPECT_FALSE(channel.SetState(c.baud, c.parity)) << c.baud << "/" << c.parity;
        EXPECT_EQ(channel.LastError().kind, SerialErrorKind::UnsupportedSetting);
        EXPECT_FALSE(channel.LastError().message.empty());
        EXPECT_FALSE(channel.Open(pty_.SlavePath(), c.baud, c.parity));
        EXPECT_TRUE(channel.IsOpen());
    }
    termios t{};
    ASSERT_EQ(tcgetattr(pty_.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & PARODD, static_cast<tcflag_t>(PARODD));

    // A full open with an unsupported speed does not leave a half-open port behind.
    RecordingChannel other;
    PtyPair second;
    ASSERT_TRUE(second.Ok());
    EXPECT_FALSE(other.Open(second.SlavePath(), 14400, 0));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.LastError().kind, SerialErrorKind::UnsupportedSetting);
    RecordingChannel third;
    EXPECT_TRUE(third.Open(second.SlavePath(), 9600, 0)) << "the failed open still holds it";
}

TEST_F(PtyChannel, OpenOnAnotherPortReleasesTheFirst) {
    PtyPair second;
    ASSERT_TRUE(second.Ok());
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 9600, 0));
    ASSERT_TRUE(channel.Open(second.SlavePath(), 9600, 0));
    EXPECT_EQ(channel.PortName(), second.SlavePath());

    RecordingChannel other;
    EXPECT_TRUE(other.Open(pty_.SlavePath(), 9600, 0)) << other.LastError().message;
    ASSERT_TRUE(WriteAll(second.Master(), {7, 8, 9}));
    EXPECT_TRUE(WaitUntil([&] { return channel.ByteCount() == 3; }));
}

TEST_F(PtyChannel, LongWriteArrivesWholeAndInOrder) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 115200, 0));
    std::mt19937 rng(7);
    const std::vector<std::uint8_t> data = RandomBytes(2500, rng);
    auto received =
        std::async(std::launch::async, [&] { return ReadCount(pty_.Master(), data.size(), 20s); });
    EXPECT_TRUE(channel.Write(data.data(), data.size())) << channel.LastError().message;
    EXPECT_EQ(received.get(), data);
}

TEST_F(PtyChannel, RandomBurstsReachOnByteOnceAndInOrder) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 115200, 0));
    std::mt19937 rng(2024);
    std::uniform_int_distribution<std::size_t> size(1, 3000);
    std::uniform_int_distribution<int> pause(0, 3);
    std::vector<std::uint8_t> sent;
    for (int burst = 0; burst < 150; ++burst) {
        const std::vector<std::uint8_t> data = RandomBytes(size(rng), rng);
        ASSERT_TRUE(WriteAll(pty_.Master(), data));
        sent.insert(sent.end(), data.begin(), data.end());
        if (pause(rng) == 0) {
            std::this_thread::sleep_for(1ms);  // vary how bursts meet the reader's reads
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return channel.ByteCount() >= sent.size(); }, 60s));
    std::this_thread::sleep_for(50ms);  // a duplicate would show up as extra bytes
    EXPECT_EQ(channel.Bytes(), sent);
}

TEST_F(PtyChannel, IdleReaderUsesNoCpu) {
    CpuClockChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 9600, 0));
    ExpectReceives(channel);
    ASSERT_TRUE(channel.HasClock());
    const double start = CpuSeconds(channel.ReaderClock());
    std::this_thread::sleep_for(1s);
    const double used = CpuSeconds(channel.ReaderClock()) - start;
    // A reader that polls without sleeping burns the whole second; a sleeping one ~0.
    EXPECT_LT(used, 0.1) << "reader used " << used << " s of CPU in 1 s idle";
    ExpectReceives(channel);  // and it still wakes for data
}

TEST_F(PtyChannel, PeerClosingMidFrameReportsPortLostOnceAndTheReaderEnds) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 9600, 0));
    const std::vector<std::uint8_t> half_frame = {0xAF, 0xAF, 0x00, 0x00, 0xAF, 0x80};
    ASSERT_TRUE(WriteAll(pty_.Master(), half_frame));
    ASSERT_TRUE(WaitUntil([&] { return channel.ByteCount() == half_frame.size(); }));

    pty_.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return channel.PortLostCount() > 0; }));
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::DeviceGone);
    EXPECT_FALSE(channel.LastError().message.empty());

    // Ended, not spinning on the hang-up: the process stays near idle.
    const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start, 0.1);
    EXPECT_EQ(channel.PortLostCount(), 1);
    EXPECT_EQ(channel.BytesAfterPortLost(), 0u);
    EXPECT_EQ(channel.Bytes(), half_frame);

    const std::uint8_t byte = 0;
    EXPECT_FALSE(channel.Write(&byte, 1));
    EXPECT_TRUE(channel.Close());
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(channel.PortLostCount(), 1);
}

TEST_F(PtyChannel, WriteToAPeerThatNeverReadsFailsWithinItsBound) {
    RecordingChannel channel;
    ASSERT_TRUE(channel.Open(pty_.SlavePath(), 115200, 0));
    // Far more than any pseudo-terminal buffers.
    const std::vector<std::uint8_t> data(4 << 20, 0x55);
    auto result =
        std::async(std::launch::async, [&] { return channel.Write(data.data(), data.size()); });
    // The bound is 3 attempts of 1 s once the buffer is full; a hang shows up here.
    if (result.wait_for(60s) != std::future_status::ready) {
        ADD_FAILURE() << "Write did not give up";
        pty_.CloseMaster();  // lets the write fail so that the test can end
    }
    EXPECT_FALSE(result.get());
    EXPECT_EQ(channel.LastError().kind, SerialErrorKind::IoError);
    EXPECT_TRUE(channel.IsOpen());
}

TEST_F(PtyChannel, SecondOpenOfAHeldPortFailsAsBusy) {
    RecordingChannel first;
    ASSERT_TRUE(first.Open(pty_.SlavePath(), 9600, 0));
    RecordingChannel second;
    EXPECT_FALSE(second.Open(pty_.SlavePath(), 9600, 0));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastError().kind, SerialErrorKind::Busy);
    EXPECT_NE(second.LastError().message.find(pty_.SlavePath()), std::string::npos);
    ExpectReceives(first);  // the holder is undisturbed

    first.Close();
    EXPECT_TRUE(second.Open(pty_.SlavePath(), 9600, 0)) << "released on close";
}

TEST(PortOpenErrors, GiveTheRightKind) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tovra-serial-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "plain-file";
    std::ofstream(file) << "not a port";
    const struct {
        std::string path;
        SerialErrorKind kind;
    } cases[] = {
        {"/dev/does-not-exist-tovra", SerialErrorKind::NotFound},
        {"", SerialErrorKind::NotFound},
        {dir.string(), SerialErrorKind::NotFound},   // a directory
        {file.string(), SerialErrorKind::NotFound},  // not a device
        {"/dev/null", SerialErrorKind::NotFound},    // a device, but not a tty
    };
    for (const auto& c : cases) {
        RecordingChannel channel;
        EXPECT_FALSE(channel.Open(c.path, 9600, 0)) << c.path;
        EXPECT_FALSE(channel.IsOpen());
        EXPECT_EQ(channel.LastError().kind, c.kind)
            << c.path << ": " << channel.LastError().message;
        EXPECT_FALSE(channel.LastError().message.empty());
    }
    std::filesystem::remove_all(dir);
}

// Opens the port without permission and reports the outcome through the exit code
// (the error kind) and stderr (the message).
[[noreturn]] void OpenWithoutPermission(const PtyPair& pty) {
    if (geteuid() == 0) {
        // Root passes every permission check, so try as nobody.
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            std::fprintf(stderr, "could not drop privileges\n");
            _exit(100);
        }
    } else if (fchmod(pty.Slave(), 0) != 0) {
        _exit(101);
    }
    RecordingChannel channel;
    const bool opened = channel.Open(pty.SlavePath(), 9600, 0);
    std::fprintf(stderr, "%s\n", channel.LastError().message.c_str());
    std::fflush(stderr);
    _exit(opened ? 102 : static_cast<int>(channel.LastError().kind));
}

TEST(PortOpenErrors, NoPermissionNamesTheGroupAndTheFix) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    std::string expected = "No permission to open";
    if (geteuid() == 0) {
        // Give the node a device group, as dialout owns serial ports, so the advice can name it.
        const group* g = getgrnam("dialout");
        if (g == nullptr) {
            g = getgrnam("tty");
        }
        const gid_t gid = g != nullptr ? g->gr_gid : 5;
        ASSERT_EQ(fchown(pty.Slave(), 0, gid), 0);
        ASSERT_EQ(fchmod(pty.Slave(), 0660), 0);
        expected = "usermod -aG " + (g != nullptr ? std::string(g->gr_name) : "5") + " \\$USER";
    }
    EXPECT_EXIT(OpenWithoutPermission(pty),
                ::testing::ExitedWithCode(static_cast<int>(SerialErrorKind::PermissionDenied)),
                expected);
}

}  // namespace
}  // namespace tovra
