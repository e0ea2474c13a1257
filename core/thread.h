#pragma once
// Thread start, join and sleep. A thread is either joined by its owner
// (WaitAndFreeThreadHandle) or detached at once (CloseThreadHandle).
#include <cstdint>
#include <memory>

namespace vxw {

struct ThreadState;
// Owning handle of a started thread. Dropping a handle that was neither
// waited for nor closed detaches the thread.
using ThreadHandle = std::shared_ptr<ThreadState>;

using ThreadFunction = uint32_t (*)(void* argument);

// Starts function(argument) on a new thread at once.
// Throws "VXW_CREATETHREAD_BEGINTHREADEX: Error creating thread - <errno> - <system error>".
ThreadHandle CreateThread(ThreadFunction function, void* argument);

// Waits without a time limit for the thread, frees the handle and returns the
// thread's exit code. Throws the VXW_WAITANDFREETHREADHANDLE_* texts on failure.
uint32_t WaitAndFreeThreadHandle(ThreadHandle& handle);

// Lets the thread run on its own; nobody will wait for it.
void CloseThreadHandle(ThreadHandle& handle);

void Sleep(uint32_t milliseconds);

}  // namespace vxw
