#pragma once
// What the whole user interface shares on the UI thread: the module that holds
// the resources, the main window, the modeless dialog that was activated last,
// and whether the wide-character window functions are in use.
#include <windows.h>

namespace vxg {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

HWND MainWindowHandle();
void SetMainWindowHandle(HWND window);

// Null when no modeless dialog other than the main window is active.
HWND ActiveModelessDialog();
void SetActiveModelessDialog(HWND window);

// True on the NT family, where the dialogs, the message loop and the window
// calls use the wide-character functions; the older family has only the
// narrow ones. Chosen once at start by ChooseWindowFunctions.
bool UseWideFunctions();
void ChooseWindowFunctions();

}  // namespace vxg
