#pragma once

#include <cstdint>
#include <string>

namespace tovra {

// Where the link's notifications go: the stand-in for a window handle. Post must be
// callable from any thread and must never block.
class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    virtual void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// Process-wide message registry: the same name always gives the same id, ids start at
// 0xC000, and an empty name gives 0.
std::uint32_t RegisterWindowMessage(const std::string& name);

inline constexpr const char* kReplyMessageName = "QD530RASerial_MSG_RECV_1";

// wParam of a reply notification.
enum NotifyCode : std::uintptr_t {
    kNotifyGood = 0,  // a good settings or version frame
    kNotifyChecksumError = 1,
    kNotifyAcknowledged = 2,  // a good reply that carried no settings
    kNotifyPortLost = 3,
};

}  // namespace tovra
