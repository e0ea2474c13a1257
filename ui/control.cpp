#include "ui/control.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace vxg {

void Control::Bind(HWND dialog, int itemId) {
    parent = dialog;
    window = GetDlgItem(dialog, itemId);
}

void Control::SetVisible(bool visible) {
    ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}

bool Control::IsVisible() const {
    return IsWindowVisible(window) != FALSE;
}

void Control::Enable(bool enable) {
    EnableWindow(window, enable ? TRUE : FALSE);
}

void Control::SetFocus() {
    ::SetFocus(window);
}

void Control::ClearFocus() {
    ::SetFocus(nullptr);
}

vx::Str Control::GetText() const {
    int length = GetWindowTextLengthA(window);
    if (length <= 0) return vx::Str();
    vx::Str text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void Control::SetText(const vx::Str& text) {
    SetWindowTextA(window, text.c_str());
}

bool Control::IsChecked() const {
    return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Control::SetChecked(bool checked) {
    SendMessageA(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Control::SetProgressPosition(int position) {
    SendMessageA(window, PBM_SETPOS, position, 0);
}

void Control::SetProgressRange(int lower, int upper) {
    SendMessageA(window, PBM_SETRANGE32, lower, upper);
}

}  // namespace vxg
