// POSIX backend of the serial channel: termios settings, flock + TIOCEXCL for exclusive
// use, and a reader that sleeps in poll() on the port and a stop pipe.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "serial/cx_serial.h"
#include "serial/posix_fd.h"

namespace tovra {

struct CXSerial::Os {
    PosixFd port;
    PosixFd stop_read;  // the reader polls this end
    PosixFd stop_write;
    std::string path;
};

CXSerial::CXSerial() : os_(std::make_unique<Os>()) {}

CXSerial::~CXSerial() {
    Close();
}

namespace {

enum class Step { Open, Lock, Configure, Transfer };

// The group that owns a device node, by name when it has one.
std::string DeviceGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    std::vector<char> buffer(16384);
    struct group entry {};
    struct group* found = nullptr;
    while (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->gr_name) : std::to_string(st.st_gid);
}

std::string PermissionAdvice(const std::string& path) {
    std::string text = "No permission to open " + path + ".";
    const std::string group = DeviceGroup(path);
    if (group.empty()) {
        return text;
    }
    if (group == "root" || group == "0") {
        // Adding a user to root's group would hand out far more than this port.
        return text + " It belongs to group root; ask the administrator for access to it.";
    }
    return text + " Its group is " + group + ": add yourself with 'sudo usermod -aG " + group +
           " $USER', then log out and in again.";
}

// The one place where an errno becomes a kind and a message a user can act on.
SerialError DescribeErrno(int err, const std::string& path, Step step) {
    const std::string reason = std::strerror(err);
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
            if (step == Step::Open) {
                return {SerialErrorKind::PermissionDenied, PermissionAdvice(path)};
            }
            break;
        case EBUSY:
        case EWOULDBLOCK:
            if (step == Step::Open || step == Step::Lock) {
                return {SerialErrorKind::Busy,
                        path + " is in use by another program. Close it there and try again."};
            }
            break;
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return {SerialErrorKind::NotFound,
                    "There is no port " + path + ". Check the name, or plug the adapter in."};
        case EISDIR:
        case ENOTTY:
            return {SerialErrorKind::NotFound, path + " is not a serial port."};
        case ENXIO:
        case ENODEV:
        case EIO:
            if (step == Step::Open) {
                // Also what a legacy UART slot with no chip behind it answers.
                return {SerialErrorKind::NotFound,
                        "No device answers at " + path + " (" + reason + ")."};
            }
            return {SerialErrorKind::DeviceGone,
                    path + " was disconnected. Reconnect it and open the port again."};
        case EINVAL:
            if (step == Step::Configure) {
                return {SerialErrorKind::UnsupportedSetting,
                        path + " does not accept these line settings."};
            }
            break;
        default:
            break;
    }
    const char* doing = step == Step::Transfer ? "Transfer on " : "Opening ";
    return {SerialErrorKind::IoError, doing + path + " failed: " + reason + "."};
}

bool SpeedFor(unsigned baud, speed_t& speed) {
    struct Entry {
        unsigned baud;
        speed_t speed;
    };
    static constexpr Entry kSpeeds[] = {
        {1200, B1200},   {1800, B1800},   {2400, B2400},   {4800, B4800},     {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (const Entry& e : kSpeeds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool MakeStopPipe(PosixFd& read_end, PosixFd& write_end) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    read_end.Reset(fds[0]);
    write_end.Reset(fds[1]);
    for (int fd : fds) {
        if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 ||
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool CXSerial::OsOpen(const std::string& port) {
    os_->path = port;
    if (port.empty()) {
        SetError(SerialErrorKind::NotFound, "No port was chosen.");
        return false;
    }
    // Non-blocking: open must not wait for carrier, and the reader and writer use poll.
    PosixFd fd(::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        const SerialError e = DescribeErrno(errno, port, Step::Open);
        SetError(e.kind, e.message);
        return false;
    }
    struct stat st {};
    struct termios tio {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISCHR(st.st_mode) || ::tcgetattr(fd.Get(), &tio) != 0) {
        const SerialError e = DescribeErrno(ENOTTY, port, Step::Open);
        SetError(e.kind, e.message);
        return false;
    }
    // flock also holds against root, which TIOCEXCL does not; TIOCEXCL also holds against
    // programs that never take the lock.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd.Get(), TIOCEXCL) != 0) {
        const SerialError e = DescribeErrno(errno, port, Step::Lock);
        SetError(e.kind, e.message);
        return false;
    }
    ::tcflush(fd.Get(), TCIOFLUSH);
    // Some modules wire DTR/RTS to reset or mode pins. Pseudo-terminals have no modem
    // lines and refuse this, which is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd.Get(), TIOCMBIC, &lines);
    os_->port.Reset(fd.Release());
    return true;
}

namespace {
// A Linux pseudo-terminal carries no parity and drops PARENB; asked for parity again on a
// later open it answers EINVAL although everything else was applied. Such a line is
// configured as far as it can be.
bool AppliedExceptParityEnable(int fd, const termios& wanted) {
    const int saved = errno;
    termios got{};
    const bool applied =
        saved == EINVAL && (wanted.c_cflag & PARENB) != 0 && ::tcgetattr(fd, &got) == 0 &&
        got.c_iflag == wanted.c_iflag && got.c_oflag == wanted.c_oflag &&
        got.c_lflag == wanted.c_lflag &&
        (got.c_cflag | PARENB) == (wanted.c_cflag | PARENB) &&
        ::cfgetospeed(&got) == ::cfgetospeed(&wanted) && ::cfgetispeed(&got) == ::cfgetispeed(&wanted);
    errno = saved;
    return applied;
}
}  // namespace

bool CXSerial::OsConfigure(unsigned baud, unsigned parity) {
    const int fd = os_->port.Get();
    speed_t speed{};
    if (!SpeedFor(baud, speed)) {
        SetError(SerialErrorKind::UnsupportedSetting,
                 "Speed " + std::to_string(baud) + " is not supported; choose 1200 to 115200.");
        return false;
    }
    if (parity > 2) {
        SetError(SerialErrorKind::UnsupportedSetting,
                 "Parity " + std::to_string(parity) + " is not supported; use none, odd or even.");
        return false;
    }
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        const SerialError e = DescribeErrno(errno, os_->path, Step::Configure);
        SetError(e.kind, e.message);
        return false;
    }
    // Raw bytes, no XON/XOFF. Parity checking (a byte with a parity error reads as 0) is
    // set only with parity: without PARENB it does nothing on a real line, and a
    // pseudo-terminal drops PARENB, so INPCK is what tells a peer there that parity is on.
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | IGNPAR | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // 8 data bits, 1 stop bit, receiver on, modem lines ignored, no hardware flow control.
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
#ifdef CMSPAR
    tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    if (parity == 1) {
        tio.c_cflag |= PARENB | PARODD;
        tio.c_iflag |= INPCK;
    } else if (parity == 2) {
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        (::tcsetattr(fd, TCSANOW, &tio) != 0 && !AppliedExceptParityEnable(fd, tio))) {
        const SerialError e = DescribeErrno(errno, os_->path, Step::Configure);
        SetError(e.kind, e.message);
        return false;
    }
    // tcsetattr succeeds when any part was applied; a driver may refuse the speed silently.
    struct termios check {};
    if (::tcgetattr(fd, &check) != 0 || ::cfgetospeed(&check) != speed) {
        SetError(SerialErrorKind::UnsupportedSetting,
                 os_->path + " does not accept speed " + std::to_string(baud) + ".");
        return false;
    }
    return true;
}

void CXSerial::OsClose() {
    const int fd = os_->port.Get();
    if (fd < 0) {
        return;
    }
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    os_->port.Reset();
}

bool CXSerial::OsIsOpen() const {
    return os_->port.Valid();
}

CXSerial::IoResult CXSerial::OsWriteChunk(const std::uint8_t* data, std::size_t size,
                                          std::size_t& sent) {
    sent = 0;
    const int fd = os_->port.Get();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kChunkTimeoutMs);
    while (sent < size) {
        const ssize_t n = ::write(fd, data + sent, size - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            const SerialError e = DescribeErrno(errno, os_->path, Step::Transfer);
            SetError(e.kind, e.message);
            return e.kind == SerialErrorKind::DeviceGone ? IoResult::Gone : IoResult::Failed;
        }
        // The driver's buffer is full: wait for room, within what is left of the chunk's time.
        struct pollfd p {
            fd, POLLOUT, 0
        };
        const int ready = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            const SerialError e = DescribeErrno(errno, os_->path, Step::Transfer);
            SetError(e.kind, e.message);
            return IoResult::Failed;
        }
        if (ready == 0) {
            return IoResult::TimedOut;
        }
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (p.revents & POLLOUT) == 0) {
            const SerialError e = DescribeErrno(EIO, os_->path, Step::Transfer);
            SetError(e.kind, e.message);
            return IoResult::Gone;
        }
    }
    return IoResult::Ok;
}

bool CXSerial::OsPrepareReader() {
    if (!MakeStopPipe(os_->stop_read, os_->stop_write)) {
        const SerialError e = DescribeErrno(errno, os_->path, Step::Open);
        SetError(SerialErrorKind::IoError, "Could not prepare the reader: " + e.message);
        return false;
    }
    return true;
}

void CXSerial::OsSignalStop() {
    const int fd = os_->stop_write.Get();
    if (fd >= 0) {
        const char byte = 1;
        // A full pipe means the stop is already pending; nothing else can go wrong here.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
}

bool CXSerial::OsReadLoop() {
    const int port = os_->port.Get();
    struct pollfd fds[2] = {{os_->stop_read.Get(), POLLIN, 0}, {port, POLLIN, 0}};
    std::uint8_t buffer[kChunkSize];
    const auto lost = [this](int err) {
        SerialError e = DescribeErrno(err, os_->path, Step::Transfer);
        if (e.kind != SerialErrorKind::DeviceGone) {
            e.message = "Reading from " + os_->path + " stopped: " + e.message;
        }
        SetError(e.kind, e.message);
        return true;
    };
    for (;;) {
        fds[0].revents = fds[1].revents = 0;
        // Sleeps until bytes arrive, the line hangs up, or the stop is signalled.
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lost(errno);
        }
        if (fds[0].revents != 0) {
            return false;  // the stop wins over pending bytes
        }
        const short events = fds[1].revents;
        if ((events & POLLNVAL) != 0) {
            return lost(EBADF);
        }
        if ((events & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        // Read even on a hang-up: bytes that arrived before it are still delivered, and the
        // read then reports the hang-up itself (EIO, or 0 bytes).
        const ssize_t n = ::read(port, buffer, sizeof buffer);
        if (n > 0) {
            Deliver(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return lost(EIO);  // end of file on a tty: the other side is gone
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return lost(errno);
        } else if ((events & POLLIN) == 0) {
            return lost(EIO);  // a hang-up with nothing to read would wake poll forever
        }
    }
}

void CXSerial::OsReleaseReader() {
    os_->stop_read.Reset();
    os_->stop_write.Reset();
}

}  // namespace tovra
