#include "bench/link_on_module.h"

#include "protocol/units.h"

namespace tovra::bench {

LinkOnModule::LinkOnModule(const sim::Faults& faults) : module_(InitialWindowSettings(), faults) {
    if (!module_.Start()) {
        return;
    }
    link_.SetNotifyTarget(&waiter_, RegisterWindowMessage(kReplyMessageName));
    ok_ = link_.Open(module_.PortPath(), 9600, 0);
}

bool LinkOnModule::ReadAllRoundTrip() {
    if (!link_.ReadAll()) {
        return false;
    }
    const auto code = waiter_.Next(kReplyDeadline);
    return code && *code == kNotifyGood;
}

}  // namespace tovra::bench
