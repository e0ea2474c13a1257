#include "ui/xp_themes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "core/exception.h"
#include "core/singleton.h"
#include "text/str_util.h"

namespace vxg {

XpThemes::XpThemes() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_COOL_CLASSES};
    InitCommonControlsEx(&classes);
    library = LoadLibraryA("uxtheme.dll");
    if (library == nullptr) return;
    enableTexture = reinterpret_cast<EnableTextureFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "EnableThemeDialogTexture")));
    if (enableTexture == nullptr) {
        DWORD error = GetLastError();
        FreeLibrary(library);
        throw vx::Exception("XpThemes::AddFunc::GetProcAddress - Error getting proc address - " +
                            vx::StrUtil::UIntToStr(error) + " - EnableThemeDialogTexture");
    }
}

XpThemes::~XpThemes() {
    if (library != nullptr) FreeLibrary(library);
}

XpThemes& XpThemes::Instance() {
    return qn::Singleton<XpThemes>::Instance();
}

void XpThemes::EnableThemeDialogTexture(HWND window, DWORD flags) {
    if (enableTexture == nullptr) return;
    HRESULT result = enableTexture(window, flags);
    if (result != 0) {
        throw vx::Exception("XpThemes::EnableThemeDialogTexture::func - Error in function - " +
                            vx::StrUtil::IntToStr(result));
    }
}

}  // namespace vxg
