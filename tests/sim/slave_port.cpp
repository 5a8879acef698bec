#include "slave_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace tovra::sim::test {

namespace {
using Clock = std::chrono::steady_clock;

speed_t SpeedOf(unsigned baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
}  // namespace

Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    unsigned v = 0;
    while (in >> std::hex >> v) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    std::string out;
    char buf[4];
    for (const auto b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty()) {
            out += ' ';
        }
        out += buf;
    }
    return out;
}

SlavePort::SlavePort(const std::string& path, unsigned baud, LineParity parity) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0 && !SetLine(baud, parity)) {
        Close();
    }
}

SlavePort::~SlavePort() {
    Close();
}

void SlavePort::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool SlavePort::SetLine(unsigned baud, LineParity parity) {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    ::cfsetospeed(&t, SpeedOf(baud));
    ::cfsetispeed(&t, SpeedOf(baud));
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    if (parity == LineParity::Odd || parity == LineParity::Even) {
        t.c_cflag |= PARENB;
        t.c_iflag |= INPCK;
        if (parity == LineParity::Odd) {
            t.c_cflag |= PARODD;
        }
    }
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SlavePort::Write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

SlavePort::Reply SlavePort::ReadReply(std::chrono::milliseconds timeout) {
    Reply reply;
    // Bytes read past the end of the previous reply come first.
    Bytes chunk;
    chunk.swap(unread_);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            if (reply.outcome) {
                unread_.assign(chunk.begin() + static_cast<std::ptrdiff_t>(i), chunk.end());
                break;
            }
            reply.bytes.push_back(chunk[i]);
            reply.outcome = receiver_.OnByte(chunk[i]);
        }
        if (reply.outcome) {
            break;
        }
        chunk.clear();
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, MsLeft(deadline));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0 || (p.revents & POLLIN) == 0) {
            break;
        }
        std::uint8_t buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // Readiness is only a hint: bytes a closed port left unread can be dropped
            // by the module between the poll and the read. Wait on for the reply.
            continue;
        }
        if (n <= 0) {
            break;  // end of file or EIO: hung up
        }
        ++reply.reads;
        chunk.assign(buf, buf + n);
    }
    reply.decoded = receiver_.Decoded();
    return reply;
}

bool SlavePort::Silent(std::chrono::milliseconds window) {
    if (!unread_.empty()) {
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(window.count())) == 0;
}

bool SlavePort::WaitHangup(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, MsLeft(deadline));
        if (r <= 0) {
            return false;
        }
        if ((p.revents & POLLHUP) != 0) {
            return true;
        }
        std::uint8_t buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno == EIO)) {
            return true;
        }
    }
}

}  // namespace tovra::sim::test
