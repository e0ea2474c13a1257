#include "core/condition.h"

#include <chrono>
#include <system_error>

#include "core/exception.h"

namespace vxw {

void Condition::Signal() {
    {
        std::lock_guard<std::mutex> guard(lock);
        set = true;
    }
    changed.notify_one();
}

bool Condition::WaitMs(uint32_t milliseconds) {
    try {
        std::unique_lock<std::mutex> guard(lock);
        bool signalled =
            changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [this] { return set; });
        set = false;
        return signalled;
    } catch (const std::system_error& e) {
        throw vx::Exception("VXW_CONDITION_WAITMS_WAITFORSINGLEOBJECT: Wair error - " +
                            std::to_string(0xFFFFFFFFu) + " - " +
                            std::to_string(static_cast<uint32_t>(e.code().value())));
    }
}

}  // namespace vxw
