#include "sim/line_writer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tovra::sim {

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long to wait for the tool to read the last bytes, and how long an empty queue must
// stay empty when the bytes were never seen queued.
constexpr milliseconds kDeliveryLimit{5000};
constexpr milliseconds kDeliveryQuiet{200};
constexpr milliseconds kDeliveryCheck{5};
}  // namespace

Sent LineWriter::Send(const std::vector<std::uint8_t>& bytes, const SendTiming& timing,
                      const std::function<void()>& before_last) {
    if (bytes.empty()) {
        return Sent::Done;
    }
    auto next = Clock::now();
    if (timing.delay.count() > 0) {
        next += timing.delay;
        if (stop_.WaitUntil(next)) {
            return Sent::Stopped;
        }
    }
    if (timing.split_gap_ms < 0 && timing.byte_time.count() == 0) {
        before_last();
        return WriteAll(bytes.data(), bytes.size());
    }
    // One byte at a time on a schedule counted from the start, so wake-up latencies do not
    // add up over a reply.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && timing.split_gap_ms > 0) {
            next += milliseconds(timing.split_gap_ms);
        }
        next += timing.byte_time;
        if (stop_.WaitUntil(next)) {
            return Sent::Stopped;
        }
        if (i + 1 == bytes.size()) {
            before_last();
        }
        const Sent s = WriteAll(&bytes[i], 1);
        if (s != Sent::Done) {
            return s;
        }
    }
    return Sent::Done;
}

Sent LineWriter::WriteAll(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(pty_.Fd(), data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w < 0 && errno != EAGAIN) {
            return Sent::Failed;
        }
        // The tool is not reading and the line's buffer is full: wait for room.
        pollfd fds[2] = {{pty_.Fd(), POLLOUT, 0}, {stop_.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return Sent::Failed;
        }
        if (fds[1].revents != 0) {
            return Sent::Stopped;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Sent::Failed;
        }
    }
    return Sent::Done;
}

bool LineWriter::WaitDelivered() {
    const auto start = Clock::now();
    auto quiet_since = start;
    bool seen_queued = false;
    while (Clock::now() - start < kDeliveryLimit) {
        const auto pending = pty_.PendingForSlave();
        if (!pending) {
            // The slave cannot be opened to ask: give the tool a moment to read instead.
            return !stop_.WaitFor(kDeliveryQuiet);
        }
        const auto now = Clock::now();
        if (*pending > 0) {
            seen_queued = true;
            quiet_since = now;
        } else if (seen_queued || now - quiet_since >= kDeliveryQuiet) {
            // Queued and then read, or never queued for a good while: the bytes reached
            // the slave's reader (the kernel moves them over with a short delay).
            return true;
        }
        if (stop_.WaitFor(kDeliveryCheck)) {
            return false;
        }
    }
    return true;
}

}  // namespace tovra::sim
