// The Windows program: the user interface in front of the gateway. The entry
// relaunches on "/detach", leaves the field to a copy that already runs, and
// hands over to the main window; whatever escapes is shown in an "Error" box.
// The order of start and end: settings, log, POP3 then SMTP listener up; the
// menu's Exit stops POP3 then SMTP; the main window goes; at process exit the
// singletons go in the reverse order of their creation.
#include "app/relaunch.h"
#include "app/single_instance.h"
#include "core/boundary.h"
#include "core/thread_handlers.h"
#include "gateway/command_line.h"
#include "ui/main_dialog.h"
#include "ui/message_loop.h"
#include "ui/ui_state.h"

// After the program's own headers: the system's macros rename functions.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace {

int RunApplication(HINSTANCE instance) {
    vxw::InstallThreadHandlers();
    vxg::ChooseWindowFunctions();
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    vxg::SetModuleInstance(instance);
    MainDialog mainWindow;
    mainWindow.SetQuitOnClose(true);
    mainWindow.Show(nullptr);
    vxg::SetMainWindowHandle(mainWindow.Handle());
    int result = vxg::RunMessageLoop();
    vxg::SetMainWindowHandle(nullptr);
    return result;
}

void ShowFailure(const vx::Str& text) {
    MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argumentText, int) {
    if (app::IsDetachRequest(argumentText != nullptr ? argumentText : "")) {
        return app::RelaunchDetached({});
    }
    app::SingleInstance sole;
    int result = 1;
    vx::CatchAtBoundary(
        "WinMain", vx::kUnexpected, [&] { result = sole.Acquire() ? RunApplication(instance) : 0; },
        ShowFailure);
    return result;
}
