#include "ui/ui_state.h"

#include <atomic>

namespace vxg {
namespace {

HINSTANCE moduleInstance = nullptr;
HWND mainWindow = nullptr;
HWND activeModeless = nullptr;
std::atomic<bool> wideFunctions{true};

}  // namespace

HINSTANCE ModuleInstance() {
    return moduleInstance != nullptr ? moduleInstance : GetModuleHandleA(nullptr);
}
void SetModuleInstance(HINSTANCE instance) {
    moduleInstance = instance;
}

HWND MainWindowHandle() {
    return mainWindow;
}
void SetMainWindowHandle(HWND window) {
    mainWindow = window;
}

HWND ActiveModelessDialog() {
    return activeModeless;
}
void SetActiveModelessDialog(HWND window) {
    activeModeless = window;
}

bool UseWideFunctions() {
    return wideFunctions.load();
}

void ChooseWindowFunctions() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    bool known = GetVersionExA(&version) != FALSE;
#pragma GCC diagnostic pop
    wideFunctions.store(!known || version.dwPlatformId == VER_PLATFORM_WIN32_NT);
}

}  // namespace vxg
