#pragma once
// A long-running activity that owns one thread and can be started, stopped and
// restarted from the controlling thread. The stop protocol: DoWork tests
// StopRequested() before each blocking step and after every return from one;
// Interrupt makes the blocking step return.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/str.h"
#include "core/thread.h"

namespace vxw {

class Worker {
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    // Stops the thread, swallowing errors. A derived worker must call Stop in
    // its own destructor, while its Interrupt can still run.
    virtual ~Worker();

    virtual void Start();
    virtual void Restart();
    virtual void Stop();

    // DoWork has returned since the last start: its work is over, and when a
    // failure ended it, Failure() is the text that was reported.
    bool Ended() const { return ended.load(); }
    vx::Str Failure() const;

protected:
    virtual void DoWork() = 0;
    virtual void Interrupt() = 0;
    // Reports a failure that escaped DoWork.
    virtual void LogError(const vx::Str& text) = 0;

    bool StopRequested() const { return stop.load() != 0; }

private:
    static uint32_t ThreadProc(void* self);
    void StartLocked();
    void StopLocked();

    std::atomic<int32_t> stop{0};
    std::atomic<bool> ended{false};
    mutable std::mutex failureLock;
    vx::Str failure;  // under failureLock
    ThreadHandle thread;
    std::mutex lock;  // one of Start, Restart, Stop at a time
};

}  // namespace vxw
