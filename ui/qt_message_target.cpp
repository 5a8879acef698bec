#include "ui/qt_message_target.h"

#include <QCoreApplication>

namespace tovra {

void QtMessageTarget::Post(std::uint32_t message, std::uintptr_t w_param, std::intptr_t l_param) {
    // postEvent is thread-safe and takes ownership of the event.
    QCoreApplication::postEvent(receiver_, new ModuleReplyEvent(message, w_param, l_param));
}

}  // namespace tovra
