#include "sim/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace tovra::sim {

namespace {
bool SetFlags(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    return fl >= 0 && ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}
}  // namespace

StopSignal::StopSignal() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return;
    }
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
    if (!SetFlags(fds[0]) || !SetFlags(fds[1])) {
        read_.Reset();
        write_.Reset();
    }
}

void StopSignal::Raise() {
    const char one = 1;
    // A full pipe already means raised, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(write_.Get(), &one, 1);
}

void StopSignal::Lower() {
    char buf[64];
    while (::read(read_.Get(), buf, sizeof buf) > 0) {
    }
}

bool StopSignal::Raised() const {
    pollfd p{read_.Get(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

bool StopSignal::WaitUntil(Clock::time_point deadline) const {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return Raised();
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        // ppoll takes nanoseconds, so byte pacing at 115200 baud (87 us) stays accurate.
        const timespec ts{static_cast<time_t>(ns / 1'000'000'000),
                          static_cast<long>(ns % 1'000'000'000)};
        pollfd p{read_.Get(), POLLIN, 0};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0) {
            return true;
        }
        if (r < 0 && errno != EINTR) {
            return Raised();
        }
    }
}

}  // namespace tovra::sim
