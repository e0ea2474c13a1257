#include "ui/tab_control.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "core/exception.h"
#include "text/str_util.h"
#include "ui/dialog.h"

namespace vxg {
namespace {

constexpr int kMostChildren = 5000;

HWND FirstTabStop(HWND page) {
    HWND child = GetWindow(page, GW_CHILD);
    for (int seen = 0; child != nullptr && seen < kMostChildren; ++seen) {
        bool tabStop = (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) != 0;
        if (tabStop && IsWindowEnabled(child)) return child;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    return nullptr;
}

}  // namespace

Dialog* TabControl::GetTabPage(HWND tab, int index) {
    TCITEMA item = {};
    item.mask = TCIF_PARAM;
    if (SendMessageA(tab, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item)) == FALSE) {
        throw vx::Exception(
            "vxg::TabControl::GetTabPage::SendMessage - Error getting tab user value - " +
            vx::StrUtil::UIntToStr(GetLastError()));
    }
    return reinterpret_cast<Dialog*>(item.lParam);
}

void TabControl::SwitchPages(HWND tab) {
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        Dialog* page = GetTabPage(tab, index);
        if (page == nullptr || !page->IsVisible()) continue;
        HWND focus = GetFocus();
        page->RememberFocus(focus != nullptr && IsChild(page->Handle(), focus) ? focus : nullptr);
        page->SetVisible(false);
    }
    int selected = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    if (selected < 0) return;
    Dialog* page = GetTabPage(tab, selected);
    if (page == nullptr) return;
    page->SetVisible(true);
    if (GetFocus() != tab) FocusPage(*page);
}

void TabControl::FocusPage(Dialog& page) {
    HWND target = page.RememberedFocus();
    if (target == nullptr) target = FirstTabStop(page.Handle());
    if (target != nullptr) SetFocus(target);
}

}  // namespace vxg
