#pragma once
// Tab pages: each item of a tab control carries, as its item data, the Dialog
// that is its page. The dialog procedure switches pages when the selection
// changes.
#include <windows.h>

namespace vxg {

class Dialog;

class TabControl {
public:
    // The page of item index (null when the item carries none).
    static Dialog* GetTabPage(HWND tab, int index);
    // Hides the visible pages, remembering their focus, and shows the
    // selected one with its remembered or first focusable control.
    static void SwitchPages(HWND tab);

private:
    static void FocusPage(Dialog& page);
};

}  // namespace vxg
