#pragma once
// The visual styles of Windows XP and later, where the system has them: the
// themed background of dialogs that hold tab-like content. Without the theme
// library the calls do nothing.
#include <windows.h>

namespace vxg {

class XpThemes {
public:
    // Registers the common control classes and loads the theme library.
    XpThemes();
    ~XpThemes();
    XpThemes(const XpThemes&) = delete;
    XpThemes& operator=(const XpThemes&) = delete;

    static XpThemes& Instance();

    // ETDT_ENABLETAB: the background of a tab page.
    static constexpr DWORD kEnableTab = 6;

    void EnableThemeDialogTexture(HWND window, DWORD flags);

private:
    using EnableTextureFunction = HRESULT(WINAPI*)(HWND, DWORD);

    HMODULE library = nullptr;
    EnableTextureFunction enableTexture = nullptr;
};

}  // namespace vxg
