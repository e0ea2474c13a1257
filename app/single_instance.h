#pragma once
// Only one copy of the program runs in the user's session for one settings
// store. On Windows the named mutex "vx-mirelink-instance"; elsewhere an
// exclusive lock on a file of the name in the user's runtime folder
// ($XDG_RUNTIME_DIR, else the user's state folder), which holds the process
// id of its holder.
#include <cstdint>

#include "core/str.h"

namespace app {

class SingleInstance {
public:
    static constexpr const char* kName = "vx-mirelink-instance";

    explicit SingleInstance(const vx::Str& name = kName) : name(name) {}
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the only copy; false when another runs.
    // Throws vx::Exception when the check itself cannot be made.
    bool Acquire();
    void Release();

    // The process id of the copy that holds the name; 0 when none does or it
    // cannot be told.
    static int64_t Holder(const vx::Str& name);
    // Where the lock file of that name lives (Linux); what the running copy
    // tells --status goes beside it. Throws when the folder cannot be had.
    static vx::Str Place(const vx::Str& name);

private:
    vx::Str name;
    std::intptr_t handle = -1;  // a descriptor or a mutex handle; -1 when not held
};

}  // namespace app
