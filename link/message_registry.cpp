#include <map>
#include <mutex>

#include "link/message_target.h"

namespace tovra {

namespace {
// The one process-wide table: names to message ids, handed out from 0xC000 upwards.
struct Registry {
    std::mutex mutex;
    std::map<std::string, std::uint32_t> ids;
    std::uint32_t next = 0xC000;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}
}  // namespace

std::uint32_t RegisterWindowMessage(const std::string& name) {
    if (name.empty()) {
        return 0;
    }
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    const auto [it, inserted] = r.ids.try_emplace(name, r.next);
    if (inserted) {
        ++r.next;
    }
    return it->second;
}

}  // namespace tovra
