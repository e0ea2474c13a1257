#pragma once
// An auto-reset event: a Signal with no waiter stays set until the next wait;
// a Signal releases one waiter and the event resets itself.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vxw {

class Condition {
public:
    Condition() = default;
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    void Signal();
    // True when the event was set within the time, false on time-out.
    bool WaitMs(uint32_t milliseconds);

private:
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
};

}  // namespace vxw
