#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "app/relaunch.h"
#include "core/dir_util.h"

namespace app {

void RelaunchDetached() {
    vx::Str program;
    try {
        program = vxw::DirUtil::GetProgramPath() + "mirelink.exe";
    } catch (...) {
        return;
    }
    ShellExecuteA(nullptr, "open", program.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace app
