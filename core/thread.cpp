#include "core/thread.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "core/exception.h"

namespace vxw {

struct ThreadState {
    std::thread thread;
    std::atomic<uint32_t> exitCode{0};
    ~ThreadState() {
        if (thread.joinable()) thread.detach();
    }
};

ThreadHandle CreateThread(ThreadFunction function, void* argument) {
    auto state = std::make_shared<ThreadState>();
    // The thread writes its exit code through a weak reference: a detached
    // thread may outlive the handle.
    std::weak_ptr<ThreadState> weak = state;
    try {
        state->thread = std::thread([function, argument, weak] {
            uint32_t code = function(argument);
            if (auto alive = weak.lock()) alive->exitCode = code;
        });
    } catch (const std::system_error& e) {
        int number = e.code().value();
        throw vx::Exception("VXW_CREATETHREAD_BEGINTHREADEX: Error creating thread - " +
                            std::to_string(number) + " - " +
                            std::to_string(static_cast<uint32_t>(number)));
    }
    return state;
}

uint32_t WaitAndFreeThreadHandle(ThreadHandle& handle) {
    if (!handle) return 0;
    try {
        if (handle->thread.joinable()) handle->thread.join();
    } catch (const std::system_error& e) {
        throw vx::Exception(
            "VXW_WAITANDFREETHREADHANDLE_WAITFORSINGLEOBJECT: Error waiting for thread - " +
            std::to_string(static_cast<uint32_t>(e.code().value())));
    }
    uint32_t code = handle->exitCode;
    handle.reset();
    return code;
}

void CloseThreadHandle(ThreadHandle& handle) {
    if (handle && handle->thread.joinable()) handle->thread.detach();
    handle.reset();
}

void Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace vxw
