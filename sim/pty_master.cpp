#include "sim/pty_master.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tovra::sim {

namespace {
std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
}  // namespace

std::optional<PtyMaster> PtyMaster::Open(std::string& error) {
    UniqueFd fd(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!fd.Valid()) {
        error = SystemError("posix_openpt");
        return std::nullopt;
    }
    if (::grantpt(fd.Get()) != 0 || ::unlockpt(fd.Get()) != 0) {
        error = SystemError("grantpt/unlockpt");
        return std::nullopt;
    }
    char name[128];
    if (::ptsname_r(fd.Get(), name, sizeof name) != 0) {
        error = SystemError("ptsname");
        return std::nullopt;
    }
    // Non-blocking so that no read or write can hold the worker past a stop request.
    const int fl = ::fcntl(fd.Get(), F_GETFL);
    if (fl < 0 || ::fcntl(fd.Get(), F_SETFL, fl | O_NONBLOCK) != 0 ||
        ::fcntl(fd.Get(), F_SETFD, FD_CLOEXEC) != 0) {
        error = SystemError("fcntl");
        return std::nullopt;
    }
    // Raw on both ends: the slave shares these settings until the tool sets its own.
    termios t{};
    if (::tcgetattr(fd.Get(), &t) != 0) {
        error = SystemError("tcgetattr");
        return std::nullopt;
    }
    ::cfmakeraw(&t);
    if (::tcsetattr(fd.Get(), TCSANOW, &t) != 0) {
        error = SystemError("tcsetattr");
        return std::nullopt;
    }
    return PtyMaster(std::move(fd), name);
}

std::optional<LineSetting> PtyMaster::Line() const {
    // On Linux the master reports the slave's settings.
    termios t{};
    if (::tcgetattr(fd_.Get(), &t) != 0) {
        return std::nullopt;
    }
    return LineFromTermios(t);
}

UniqueFd PtyMaster::OpenSlave() const {
    return UniqueFd(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

std::optional<std::size_t> PtyMaster::PendingForSlave() const {
    const UniqueFd slave = OpenSlave();
    if (!slave.Valid()) {
        return std::nullopt;
    }
    // Bytes written to the master reach the slave's queue through a kernel worker, and
    // FIONREAD counts only what has arrived. A poll on the slave waits for that hand-over,
    // so bytes written just before are counted.
    pollfd p{slave.Get(), POLLIN, 0};
    ::poll(&p, 1, 0);
    int queued = 0;
    if (::ioctl(slave.Get(), FIONREAD, &queued) != 0 || queued < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(queued);
}

void PtyMaster::DiscardPendingForSlave() const {
    const UniqueFd slave = OpenSlave();
    if (slave.Valid()) {
        ::tcflush(slave.Get(), TCIFLUSH);
    }
}

}  // namespace tovra::sim
