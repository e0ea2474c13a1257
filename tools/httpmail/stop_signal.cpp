#include "tools/httpmail/stop_signal.h"

#include <chrono>

namespace httpmail {

void StopSignal::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopped = true;
    }
    changed.notify_all();
}

bool StopSignal::Stopped() const {
    std::lock_guard<std::mutex> guard(lock);
    return stopped;
}

bool StopSignal::Sleep(unsigned ms) const {
    std::unique_lock<std::mutex> guard(lock);
    return !changed.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopped; });
}

}  // namespace httpmail
