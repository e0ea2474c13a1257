#pragma once
// A menu from the program's resources, or a non-owning view of one of its
// popups. Handles in error texts are printed as eight hexadecimal digits.
#include <windows.h>

namespace vxg {

class Menu {
public:
    Menu() = default;
    ~Menu() { Destroy(); }
    Menu(Menu&& other) noexcept;
    Menu& operator=(Menu&& other) noexcept;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Loads the menu resource (destroying a menu this object owns).
    void Create(int resourceId);
    // A non-owning Menu for the first popup.
    Menu GetSubmenu() const;
    // Makes the command (not the position) the bold default item.
    void SetDefaultItemId(UINT commandId);
    // The default command, disabled items included.
    UINT GetDefaultItemId() const;
    // Shows the menu at the cursor, owned by the main window; the chosen
    // command, or 0.
    UINT TrackPopup() const;

    HMENU Handle() const { return menu; }
    void Destroy();

private:
    Menu(HMENU menu, bool owned) : menu(menu), owned(owned) {}

    HMENU menu = nullptr;
    bool owned = false;
};

}  // namespace vxg
