#include "cli/module_session.h"

#include <cstdio>
#include <utility>

#include "cli/trace.h"

namespace tovra::cli {

ModuleSession::ModuleSession(std::string port, Console& console, bool trace)
    : port_(std::move(port)), console_(console), queue_(RegisterWindowMessage(kReplyMessageName)) {
    link_.SetNotifyTarget(&queue_, RegisterWindowMessage(kReplyMessageName));
    if (trace) {
        link_.SetFrameObserver([this](QDSerial::Direction d, std::span<const std::uint8_t> f) {
            console_.Err(TraceLine(std::chrono::system_clock::now(), port_,
                                   d == QDSerial::Direction::Sent, f));
        });
    }
}

ModuleSession::~ModuleSession() {
    link_.Close();
}

bool ModuleSession::Open(const LineSettings& line) {
    return link_.Open(port_, line.baud, line.parity) && link_.IsOpen();
}

bool ModuleSession::SetLine(const LineSettings& line) {
    return link_.SetState(line.baud, line.parity);
}

std::string ModuleSession::OpenError() const {
    const SerialError e = link_.LastError();
    if (e.message.empty()) {
        return SerialErrorKindName(e.kind);
    }
    return e.message;
}

Reply ModuleSession::Request(std::span<const std::uint8_t> frame, Expect expect,
                             std::chrono::milliseconds timeout) {
    Reply reply;
    if (lost_) {
        reply.outcome = Outcome::PortLost;
        return reply;
    }
    // Whatever arrived before this request does not answer it.
    queue_.Clear();
    if (!link_.WriteFrame(frame)) {
        reply.outcome = Outcome::SendFailed;
        reply.detail = link_.LastError().message;
        return reply;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (const auto code = queue_.WaitUntil(deadline)) {
        switch (*code) {
            case kNotifyGood: {
                // The copy is taken now, so a later reply cannot change it under us.
                reply.decoded = link_.TakeDecoded();
                const bool version = reply.decoded.VersionReady != 0;
                if (version && expect == Expect::Version) {
                    reply.outcome = Outcome::Version;
                    return reply;
                }
                if (!version && expect != Expect::Version) {
                    reply.outcome = Outcome::Settings;
                    return reply;
                }
                break;  // a reply to some other request
            }
            case kNotifyAcknowledged:
                if (expect == Expect::WriteReply || expect == Expect::Settings) {
                    reply.outcome = Outcome::Acknowledged;
                    return reply;
                }
                break;
            case kNotifyChecksumError:
                reply.outcome = Outcome::ChecksumError;
                return reply;
            case kNotifyPortLost:
                lost_ = true;
                reply.outcome = Outcome::PortLost;
                return reply;
            default:
                break;
        }
    }
    reply.outcome = Outcome::TimedOut;
    return reply;
}

std::string DescribeFailure(const Reply& reply, std::chrono::milliseconds timeout) {
    switch (reply.outcome) {
        case Outcome::Settings:
        case Outcome::Version:
            return "ok";
        case Outcome::Acknowledged:
            return "the module answered without its settings";
        case Outcome::ChecksumError:
            return "the reply failed its checksum";
        case Outcome::TimedOut: {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "no reply within %g s",
                          static_cast<double>(timeout.count()) / 1000.0);
            return buffer;
        }
        case Outcome::PortLost:
            return "the port was lost (adapter unplugged?)";
        case Outcome::SendFailed:
            return reply.detail.empty() ? "the request could not be sent"
                                        : "the request could not be sent: " + reply.detail;
    }
    return "failed";
}

}  // namespace tovra::cli
