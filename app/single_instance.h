#pragma once
// Only one copy of the program runs in the user's session. On Windows the
// named mutex "vx-mirelink-instance"; elsewhere an exclusive lock on a file of
// that name in the user's runtime folder ($XDG_RUNTIME_DIR, else /tmp).
#include <cstdint>

#include "core/str.h"

namespace app {

class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the only copy; false when another runs.
    // Throws vx::Exception when the check itself cannot be made.
    bool Acquire();
    void Release();

private:
    std::intptr_t handle = -1;  // a descriptor or a mutex handle; -1 when not held
};

}  // namespace app
