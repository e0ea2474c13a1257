#include "core/worker.h"

#include "core/boundary.h"
#include "core/exception.h"
#include "core/thread_handlers.h"

namespace vxw {

Worker::~Worker() {
    try {
        Stop();
    } catch (...) {
    }
}

void Worker::Start() {
    std::lock_guard<std::mutex> guard(lock);
    if (thread) throw vx::Exception("vxw::Worker::Start - The working is alredy started");
    StartLocked();
}

void Worker::Restart() {
    std::lock_guard<std::mutex> guard(lock);
    StopLocked();
    StartLocked();
}

void Worker::Stop() {
    std::lock_guard<std::mutex> guard(lock);
    StopLocked();
}

vx::Str Worker::Failure() const {
    std::lock_guard<std::mutex> guard(failureLock);
    return failure;
}

void Worker::StartLocked() {
    stop.exchange(0);
    ended = false;
    {
        std::lock_guard<std::mutex> guard(failureLock);
        failure.clear();
    }
    thread = CreateThread(&Worker::ThreadProc, this);
}

void Worker::StopLocked() {
    stop.exchange(1);
    if (!thread) return;
    Interrupt();
    WaitAndFreeThreadHandle(thread);
}

uint32_t Worker::ThreadProc(void* self) {
    auto* worker = static_cast<Worker*>(self);
    InstallThreadHandlers();
    vx::CatchAtBoundary("vxw::Worker::DoWork", vx::kUnexpected, [worker] { worker->DoWork(); },
                        [worker](const vx::Str& text) {
                            {
                                std::lock_guard<std::mutex> guard(worker->failureLock);
                                worker->failure = text;
                            }
                            worker->LogError(text);
                        });
    worker->ended = true;
    return 0;
}

}  // namespace vxw
