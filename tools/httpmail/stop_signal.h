#pragma once
// Tells waiting connections that the service is stopping.
#include <condition_variable>
#include <mutex>

namespace httpmail {

class StopSignal {
public:
    void Stop();
    bool Stopped() const;
    // Waits `ms` milliseconds; false when the service stopped meanwhile.
    bool Sleep(unsigned ms) const;

private:
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    bool stopped = false;
};

}  // namespace httpmail
