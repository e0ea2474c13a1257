#include "ui/dialog.h"

#include "core/exception.h"
#include "text/str_util.h"
#include "ui/dialog_registry.h"
#include "ui/message_box.h"
#include "ui/ui_state.h"

namespace vxg {
namespace {

vx::Str CreationFailure(const char* place) {
    return vx::Str(place) + " - Error creating dialog - " + vx::StrUtil::UIntToStr(GetLastError());
}

}  // namespace

Dialog::Dialog(uint16_t templateId) : templateId(templateId) {}

Dialog::~Dialog() {
    HWND own = window;
    if (own != nullptr) {
        // Unregistered first: the window's last messages must not reach the
        // operations of a derived part that is already gone.
        DialogRegistry::Remove(own);
        window = nullptr;
        if (modal) {
            EndDialog(own, 0);
        } else {
            DestroyWindow(own);
        }
        if (ActiveModelessDialog() == own) SetActiveModelessDialog(nullptr);
    }
    DestroyIcons();
}

void Dialog::Show(HWND parentWindow) {
    parent = parentWindow;
    modal = false;
    HWND created = nullptr;
    if (UseWideFunctions()) {
        created = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId), parent,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
        if (created == nullptr)
            throw vx::Exception(CreationFailure("vxg::Dialog::Show::CreateDialogParamW"));
    } else {
        created = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
        if (created == nullptr)
            throw vx::Exception(CreationFailure("vxg::Dialog::Show::CreateDialogParam"));
    }
}

INT_PTR Dialog::ShowModal(HWND parentWindow) {
    parent = parentWindow;
    modal = true;
    INT_PTR result = 0;
    if (UseWideFunctions()) {
        result = DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId), parent, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
        if (result == -1)
            throw vx::Exception(CreationFailure("vxg::Dialog::ShowModal::DialogBoxParamW"));
    } else {
        result = DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), parent, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
        if (result == -1)
            throw vx::Exception(CreationFailure("vxg::Dialog::ShowModal::DialogBoxParam"));
    }
    return result;
}

void Dialog::Close(int32_t code) {
    SendMessageA(window, WM_CLOSE, 0, code);
}

void Dialog::PostClose(int32_t code) {
    PostMessageA(window, WM_CLOSE, 0, code);
}

void Dialog::SetIcons(int iconResource) {
    DestroyIcons();
    HINSTANCE module = ModuleInstance();
    largeIcon =
        static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(iconResource), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(iconResource), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

void Dialog::DestroyIcons() {
    if (largeIcon != nullptr) DestroyIcon(largeIcon);
    if (smallIcon != nullptr) DestroyIcon(smallIcon);
    largeIcon = smallIcon = nullptr;
}

void Dialog::ShowError(UINT /*message*/, const vx::Str& text) {
    WarningBox("Message Error", window, text);
}

}  // namespace vxg
