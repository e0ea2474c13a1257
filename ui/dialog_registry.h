#pragma once
// The one process-wide map from a dialog's window to its Dialog object: the
// only way the dialog procedure finds the object a message is for. Entries
// live exactly as long as their window.
#include <windows.h>

namespace vxg {

class Dialog;

class DialogRegistry {
public:
    static void Add(HWND window, Dialog* dialog);
    static void Remove(HWND window);
    // Null when the window is not (or no longer) a registered dialog.
    static Dialog* Find(HWND window);
};

}  // namespace vxg
