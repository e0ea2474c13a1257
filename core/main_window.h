#pragma once
// What the main window offers the services. Session threads call these to
// start and stop the tray animation and to show a failed web mail login; the
// window sets itself before it starts the listeners. Where there is no main
// window (the Linux program), the pointer stays null and the calls are skipped.
#include "core/str.h"

class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void OnSessionStarted() = 0;
    virtual void OnAllSessionsEnded() = 0;
    virtual void ShowLoginError(const vx::Str& text) = 0;
};

void SetMainWindow(MainWindowEvents* window);
MainWindowEvents* GetMainWindow();  // null when there is none
