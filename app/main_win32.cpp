// The Windows program until its user interface arrives: the gateway without a
// window, like the Linux program. It starts the same way (settings, log,
// POP3 then SMTP listener) and stops the way the tray menu's Exit does when
// its console asks it to (Ctrl+C, Ctrl+Break, the console closing, log-off
// or shut-down). A failure that reaches the entry is written to standard
// error; the entry's message box comes with the window.
#include "app/command_line.h"
#include "app/relaunch.h"
#include "app/single_instance.h"
#include "core/boundary.h"
#include "core/config.h"
#include "core/log.h"
#include "core/thread_handlers.h"

// After the program's own headers: the system's macros rename functions.
#include <windows.h>

#include <cstdio>

namespace {

HANDLE stopRequested = nullptr;  // a manual-reset event, set by the console handler

BOOL WINAPI OnConsoleEvent(DWORD event) {
    SetEvent(stopRequested);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    // The system ends the process once this returns: wait here instead, so
    // that the entry can stop the listeners and return by itself.
    Sleep(INFINITE);
    return TRUE;
}

void ListenForConsoleStop() {
    stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stopRequested == nullptr || !SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        throw vx::Exception("WinMain::SetConsoleCtrlHandler - Error setting the console handler",
                            static_cast<int32_t>(GetLastError()));
    }
}

int RunApplication(const vx::Str& fullCommandLine) {
    vxw::InstallThreadHandlers();
    ListenForConsoleStop();
    Config& config = Config::Instance();
    if (app::HasSwitch(fullCommandLine, "/hklm")) config.UseLocalMachine();
    if (config.TakeNewVersionFlag()) Log("Starting - " + Config::GetVersion());
    config.TakeFirstRunFlag();
    WaitForSingleObject(stopRequested, INFINITE);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR argumentText, int) {
    if (app::IsDetachRequest(argumentText != nullptr ? argumentText : "")) {
        app::RelaunchDetached();
        return 0;
    }
    app::SingleInstance instance;
    int result = 1;
    vx::CatchAtBoundary(
        "WinMain", vx::kUnexpected,
        [&] { result = instance.Acquire() ? RunApplication(GetCommandLineA()) : 0; },
        [](const vx::Str& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    return result;
}
