#include "sim/simulated_module.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

#include "sim/line_setting.h"
#include "sim/line_writer.h"
#include "sim/module_replies.h"
#include "sim/port_link.h"
#include "sim/pty_master.h"
#include "sim/request_assembler.h"
#include "sim/stop_signal.h"

namespace tovra::sim {

namespace {
using std::chrono::milliseconds;

// While no one has the slave open the master reports a hang-up on every poll; it is then
// looked at this often instead of being polled in a loop.
constexpr milliseconds kDetachedPoll{20};
constexpr std::size_t kReadChunk = 256;

// Whether no one has the slave open right now.
bool HungUp(int master) {
    pollfd p{master, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
}
}  // namespace

struct SimulatedModule::Impl {
    Impl(const ModuleSettings& initial, const Faults& faults) : faults_(faults) {
        state_.block = EncodeSettingsBlock(initial);
        state_.version = initial.VersionCode;
    }

    // --- shared with every caller, under mutex_ ---
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    ModuleState state_;
    Faults faults_;
    std::vector<std::uint8_t> received_;
    std::size_t requests_ = 0;
    std::size_t replies_ = 0;
    std::size_t port_replies_ = 0;  // on the current port, for lose_after
    bool lost_ = false;
    std::string port_path_;
    std::string link_path_;
    std::string error_;

    // --- start, stop and restart, under control_ ---
    std::mutex control_;
    bool started_ = false;
    std::thread worker_;
    StopSignal stop_;
    // Used by the worker while it runs, by the control side only while it does not.
    std::optional<PtyMaster> pty_;
    RequestAssembler assembler_;
    std::minstd_rand rng_{0x51A7};

    void SetError(std::string e) {
        std::lock_guard lock(mutex_);
        error_ = std::move(e);
    }

    // Opens a fresh port (and points the link at it) and starts the worker.
    bool Launch(const std::string& link);
    void Halt();

    // --- worker thread ---
    void Run();
    enum class Read { More, Hangup, Lost, Stopped };
    Read ReadAvailable();
    Read OnBytes(const std::uint8_t* data, std::size_t n);
    bool LineAccepted();
    Read HandleRequest(const Request& request);
    void LosePort();
};

bool SimulatedModule::Impl::Launch(const std::string& link) {
    std::string error;
    auto pty = PtyMaster::Open(error);
    if (!pty) {
        SetError(error);
        return false;
    }
    if (!link.empty() && !CreatePortLink(link, pty->Path(), error)) {
        SetError(error);
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        port_path_ = pty->Path();
        link_path_ = link;
        port_replies_ = 0;
        lost_ = false;
    }
    pty_ = std::move(pty);
    assembler_.Reset();
    stop_.Lower();
    try {
        worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        SetError(std::string("cannot start the module thread: ") + e.what());
        RemovePortLink(link, pty_->Path());
        pty_.reset();
        return false;
    }
    return true;
}

void SimulatedModule::Impl::Halt() {
    stop_.Raise();
    if (worker_.joinable()) {
        worker_.join();
    }
    pty_.reset();
}

void SimulatedModule::Impl::Run() {
    const int master = pty_->Fd();
    bool detached = false;
    for (;;) {
        int timeout = -1;
        if (detached) {
            if (stop_.WaitFor(kDetachedPoll)) {
                return;
            }
            timeout = 0;
        }
        pollfd fds[2] = {{master, POLLIN, 0}, {stop_.Fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, timeout);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLNVAL) != 0) {
            return;
        }
        bool hangup = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
        if ((fds[0].revents & POLLIN) != 0) {
            switch (ReadAvailable()) {
                case Read::Lost:
                case Read::Stopped:
                    return;
                case Read::Hangup:
                    hangup = true;
                    break;
                case Read::More:
                    // The tool may have closed and reopened the port while the requests
                    // were answered: only the state now counts.
                    hangup = HungUp(master);
                    break;
            }
        }
        if (hangup && !detached) {
            // The tool closed the port: what it did not read is gone, as on a real port.
            pty_->DiscardPendingForSlave();
        }
        detached = hangup;
    }
}

SimulatedModule::Impl::Read SimulatedModule::Impl::ReadAvailable() {
    std::uint8_t buf[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(pty_->Fd(), buf, sizeof buf);
        if (n > 0) {
            const Read r = OnBytes(buf, static_cast<std::size_t>(n));
            if (r != Read::More) {
                return r;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            return Read::More;
        }
        // EIO (or end of file): no slave is open.
        return Read::Hangup;
    }
}

bool SimulatedModule::Impl::LineAccepted() {
    LineSetting uart;
    {
        std::lock_guard lock(mutex_);
        if (!faults_.match_line) {
            return true;
        }
        uart = ModuleUart(state_.block[0], state_.block[1]);
    }
    const auto line = pty_->Line();
    return line && LineMatches(*line, uart);
}

SimulatedModule::Impl::Read SimulatedModule::Impl::OnBytes(const std::uint8_t* data,
                                                           std::size_t n) {
    // The line is judged before the bytes show as received, so a caller that saw them
    // arrive may change the line without changing how they were heard.
    bool accepted = LineAccepted();
    {
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), data, data + n);
        changed_.notify_all();
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!accepted) {
            // At the wrong speed or parity the UART sees only garbage.
            assembler_.Reset();
            continue;
        }
        if (auto request = assembler_.Feed(data[i])) {
            const Read r = HandleRequest(*request);
            if (r != Read::More) {
                return r;
            }
            // A Write All may have changed the UART the rest is heard with.
            accepted = LineAccepted();
        }
    }
    return Read::More;
}

SimulatedModule::Impl::Read SimulatedModule::Impl::HandleRequest(const Request& request) {
    Faults f;
    LineSetting uart;
    std::vector<std::uint8_t> reply;
    bool lose_now = false;
    {
        std::lock_guard lock(mutex_);
        ++requests_;
        changed_.notify_all();
        f = faults_;
        lose_now = f.lose_after >= 0 && port_replies_ >= static_cast<std::size_t>(f.lose_after);
        if (!lose_now) {
            // The reply goes out at the UART setting the request came in with.
            uart = ModuleUart(state_.block[0], state_.block[1]);
            if (!f.no_reply) {
                reply =
                    Answer(request, state_, f.short_reply ? kShortReplyLength : kSettingsBlockSize);
            }
        }
    }
    if (lose_now) {
        LosePort();
        return Read::Lost;
    }
    if (reply.empty()) {
        return Read::More;
    }
    if (f.bad_checksum) {
        CorruptChecksum(reply);
    }
    std::vector<std::uint8_t> bytes = Noise(f.noise_bytes, rng_);
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    SendTiming timing;
    timing.delay = milliseconds(std::max(f.delay_ms, 0));
    timing.split_gap_ms = f.split_gap_ms;
    if (f.pace) {
        timing.byte_time = ByteTime(uart);
    }
    LineWriter writer(*pty_, stop_);
    bool last_due = false;
    const Sent sent = writer.Send(bytes, timing, [&] {
        std::lock_guard lock(mutex_);
        ++replies_;
        ++port_replies_;
        last_due = f.lose_after >= 0 && port_replies_ >= static_cast<std::size_t>(f.lose_after);
        changed_.notify_all();
    });
    if (sent == Sent::Stopped) {
        return Read::Stopped;
    }
    if (last_due) {
        if (!writer.WaitDelivered()) {
            return Read::Stopped;
        }
        LosePort();
        return Read::Lost;
    }
    return Read::More;
}

void SimulatedModule::Impl::LosePort() {
    std::string link;
    std::string path;
    {
        std::lock_guard lock(mutex_);
        lost_ = true;
        link = link_path_;
        path = port_path_;
        changed_.notify_all();
    }
    // An unplugged adapter's name goes away with it. Both happen before the hang-up, so
    // a tool that sees the hang-up finds the module lost and the link gone.
    RemovePortLink(link, path);
    pty_->Close();
}

// --- public interface ---

SimulatedModule::SimulatedModule(const ModuleSettings& initial, const Faults& faults)
    : impl_(std::make_unique<Impl>(initial, faults)) {}

SimulatedModule::~SimulatedModule() {
    Stop();
}

bool SimulatedModule::Start(const std::string& link_path) {
    std::lock_guard control(impl_->control_);
    if (impl_->started_) {
        impl_->SetError("already running");
        return false;
    }
    if (!impl_->stop_.Valid()) {
        impl_->SetError("cannot create the stop pipe");
        return false;
    }
    impl_->started_ = impl_->Launch(link_path);
    return impl_->started_;
}

void SimulatedModule::Stop() {
    std::lock_guard control(impl_->control_);
    if (!impl_->started_) {
        return;
    }
    impl_->Halt();
    RemovePortLink(LinkPath(), PortPath());
    impl_->started_ = false;
}

bool SimulatedModule::Restart() {
    std::lock_guard control(impl_->control_);
    if (!impl_->started_) {
        impl_->SetError("not running");
        return false;
    }
    impl_->Halt();
    const std::string link = LinkPath();
    RemovePortLink(link, PortPath());
    impl_->started_ = impl_->Launch(link);
    return impl_->started_;
}

std::string SimulatedModule::PortPath() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->port_path_;
}

std::string SimulatedModule::LinkPath() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->link_path_;
}

std::string SimulatedModule::LastError() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->error_;
}

bool SimulatedModule::PortLost() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->lost_;
}

ModuleSettings SimulatedModule::Settings() const {
    std::lock_guard lock(impl_->mutex_);
    ModuleSettings s;
    DecodeSettingsBlock(impl_->state_.block.data(), s);
    s.VersionCode = impl_->state_.version;
    return s;
}

SettingsBlock SimulatedModule::SettingsBytes() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->state_.block;
}

void SimulatedModule::SetSettings(const ModuleSettings& s) {
    std::lock_guard lock(impl_->mutex_);
    impl_->state_.block = EncodeSettingsBlock(s);
    impl_->state_.version = s.VersionCode;
}

void SimulatedModule::SetFaults(const Faults& f) {
    std::lock_guard lock(impl_->mutex_);
    impl_->faults_ = f;
}

std::vector<std::uint8_t> SimulatedModule::Received() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->received_;
}

std::size_t SimulatedModule::RequestsSeen() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->requests_;
}

std::size_t SimulatedModule::RepliesSent() const {
    std::lock_guard lock(impl_->mutex_);
    return impl_->replies_;
}

bool SimulatedModule::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex_);
    return impl_->changed_.wait_for(lock, timeout, [&] { return impl_->requests_ >= count; });
}

bool SimulatedModule::WaitForReplies(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex_);
    return impl_->changed_.wait_for(lock, timeout, [&] { return impl_->replies_ >= count; });
}

bool SimulatedModule::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex_);
    return impl_->changed_.wait_for(lock, timeout,
                                    [&] { return impl_->received_.size() >= count; });
}

}  // namespace tovra::sim
