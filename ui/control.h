#pragma once
// One window of the user interface: a dialog item bound by its identifier, or
// (through Dialog) a dialog itself. A thin wrapper: it owns nothing.
#include <windows.h>

#include <cstdint>

#include "core/str.h"

namespace vxg {

class Control {
public:
    Control() = default;

    // Binds to the item of the dialog window.
    void Bind(HWND dialog, int itemId);

    HWND Handle() const { return window; }
    HWND Parent() const { return parent; }

    void SetVisible(bool visible);
    bool IsVisible() const;
    void Enable(bool enable);
    void SetFocus();
    // Takes the keyboard focus away from every window of this thread.
    static void ClearFocus();

    vx::Str GetText() const;
    void SetText(const vx::Str& text);

    // True only for the fully checked state.
    bool IsChecked() const;
    void SetChecked(bool checked);

    // Progress bars.
    void SetProgressPosition(int position);
    void SetProgressRange(int lower, int upper);

protected:
    HWND window = nullptr;
    HWND parent = nullptr;
};

}  // namespace vxg
