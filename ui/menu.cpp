#include "ui/menu.h"

#include <cstdint>
#include <utility>

#include "core/exception.h"
#include "text/str_util.h"
#include "ui/ui_state.h"

namespace vxg {
namespace {

using vx::StrUtil::IntToStr;
using vx::StrUtil::UIntToStr;

vx::Str HandleText(HMENU menu) {
    return vx::StrUtil::HexStr(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(menu)));
}

vx::Str LastError() {
    return UIntToStr(GetLastError());
}

}  // namespace

Menu::Menu(Menu&& other) noexcept
    : menu(std::exchange(other.menu, nullptr)), owned(std::exchange(other.owned, false)) {}

Menu& Menu::operator=(Menu&& other) noexcept {
    if (this != &other) {
        Destroy();
        menu = std::exchange(other.menu, nullptr);
        owned = std::exchange(other.owned, false);
    }
    return *this;
}

void Menu::Destroy() {
    if (owned && menu != nullptr) DestroyMenu(menu);
    menu = nullptr;
    owned = false;
}

void Menu::Create(int resourceId) {
    Destroy();
    HMENU loaded = LoadMenuA(ModuleInstance(), MAKEINTRESOURCEA(resourceId));
    if (loaded == nullptr) {
        throw vx::Exception("vxg::Menu::Create::LoadMenu - Error loading menu resource - " +
                            HandleText(menu) + " - " + IntToStr(resourceId) + " - " + LastError());
    }
    menu = loaded;
    owned = true;
}

Menu Menu::GetSubmenu() const {
    HMENU popup = GetSubMenu(menu, 0);
    if (popup == nullptr) {
        throw vx::Exception("vxg::Menu::GetSubmenu::GetSubMenu - Error getting submenu - " +
                            HandleText(menu) + " - 0 - " + LastError());
    }
    return Menu(popup, false);
}

void Menu::SetDefaultItemId(UINT commandId) {
    if (!SetMenuDefaultItem(menu, commandId, FALSE)) {
        throw vx::Exception(
            "vxg::Menu::SetDefaultItemId::SetMenuDefaultItem - Error setting default item - " +
            HandleText(menu) + " - " + UIntToStr(commandId) + " - " + LastError());
    }
}

UINT Menu::GetDefaultItemId() const {
    UINT command = GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED);
    if (command == static_cast<UINT>(-1)) {
        throw vx::Exception(
            "vxg::Menu::SetDefaultItemId::GetMenuDefaultItem - Error getting default item - " +
            HandleText(menu) + " - " + LastError());
    }
    return command;
}

UINT Menu::TrackPopup() const {
    POINT cursor = {};
    if (!GetCursorPos(&cursor)) {
        throw vx::Exception(
            "vxg::Menu::TrackPopup::GetCursorPos - Error getting cursor position - " +
            HandleText(menu) + " - " + LastError());
    }
    return static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                            cursor.x, cursor.y, 0, MainWindowHandle(), nullptr));
}

}  // namespace vxg
