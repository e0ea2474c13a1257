#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "app/relaunch.h"
#include "core/dir_util.h"

namespace app {

int RelaunchDetached(const std::vector<vx::Str>&) {
    vx::Str program;
    try {
        program = vxw::DirUtil::GetProgramPath() + "mirelink.exe";
    } catch (...) {
        return 0;
    }
    ShellExecuteA(nullptr, "open", program.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return 0;
}

void TellLauncher(StartOutcome) {}

}  // namespace app
