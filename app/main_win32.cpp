// The Windows program until its user interface arrives: the gateway without a
// window, like the Linux program. It starts the same way (settings, log,
// POP3 then SMTP listener) and stops the way the tray menu's Exit does when
// its console asks it to (Ctrl+C, Ctrl+Break, the console closing, log-off
// or shut-down). A failure that reaches the entry is written to standard
// error; the entry's message box comes with the window.
#include "app/command_line.h"
#include "app/headless.h"
#include "app/relaunch.h"
#include "app/single_instance.h"
#include "core/boundary.h"
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

// Without a window, the console is where a user looks; and a line the log
// file could not take would otherwise be lost without a trace.
void EchoLogLine(const vx::Str& line, bool written) {
    static HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    static const bool console = GetFileType(errors) == FILE_TYPE_CHAR;
    if (!console && written) return;
    DWORD ignored = 0;
    WriteFile(errors, line.data(), static_cast<DWORD>(line.size()), &ignored, nullptr);
}

int RunApplication(const vx::Str& fullCommandLine) {
    vxw::InstallThreadHandlers();
    SetLogEcho(EchoLogLine);
    ListenForConsoleStop();
    return app::RunHeadless(fullCommandLine, [] { WaitForSingleObject(stopRequested, INFINITE); });
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
