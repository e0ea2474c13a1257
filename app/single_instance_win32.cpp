#include <windows.h>

#include "app/single_instance.h"
#include "core/exception.h"

namespace app {

bool SingleInstance::Acquire() {
    Release();
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    if (mutex == nullptr) {
        throw vx::Exception("app::SingleInstance::Acquire::CreateMutex - Error creating the mutex",
                            static_cast<int32_t>(GetLastError()));
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    handle = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

void SingleInstance::Release() {
    if (handle == -1) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    handle = -1;
}

// The mutex does not tell who holds it.
int64_t SingleInstance::Holder(const vx::Str&) { return 0; }

}  // namespace app
