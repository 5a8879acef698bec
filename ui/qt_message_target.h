#pragma once

#include <cstdint>

#include <QEvent>

#include "link/message_target.h"

class QObject;

namespace tovra {

// A link notification travelling to the window thread as a queued event.
class ModuleReplyEvent : public QEvent {
  public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 0x530);

    ModuleReplyEvent(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param)
        : QEvent(kType), message_(message), w_param_(w_param), l_param_(l_param) {}

    std::uint32_t Message() const { return message_; }
    std::uintptr_t WParam() const { return w_param_; }
    std::intptr_t LParam() const { return l_param_; }

  private:
    std::uint32_t message_;
    std::uintptr_t w_param_;
    std::intptr_t l_param_;
};

// Turns the link's Post, made on the reader thread, into a ModuleReplyEvent queued for
// the receiver; it is delivered on the receiver's thread. Never blocks.
class QtMessageTarget : public MessageTarget {
  public:
    explicit QtMessageTarget(QObject* receiver) : receiver_(receiver) {}

    void Post(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) override;

  private:
    QObject* receiver_;  // outlives the link that posts here
};

}  // namespace tovra
