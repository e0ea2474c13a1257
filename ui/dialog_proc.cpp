// The one dialog procedure: finds the Dialog of a window in the registry and
// turns each message into a call of its operation. No exception leaves it: a
// handler that throws becomes a warning box, and the dialog stays usable.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <exception>

#include "core/exception.h"
#include "text/str_util.h"
#include "ui/dialog.h"
#include "ui/dialog_registry.h"
#include "ui/message_box.h"
#include "ui/tab_control.h"
#include "ui/ui_state.h"

namespace vxg {
namespace {

void ReportHandlerFailure(HWND window, UINT message, const vx::Str& text) {
    vx::Str shown = text + " - " + vx::StrUtil::UIntToStr(message);
    Dialog* dialog = DialogRegistry::Find(window);
    try {
        if (dialog != nullptr) {
            dialog->ShowError(message, shown);
        } else {
            WarningBox("Message Error", nullptr, shown);
        }
    } catch (...) {
    }
}

// Runs one handler call under the program's three-step catch.
template <class Body>
INT_PTR Guarded(HWND window, UINT message, Body&& body) {
    try {
        return body();
    } catch (const vx::Exception& e) {
        ReportHandlerFailure(window, message, "VXG_DIALOG_DIALOGPROC_CATCH_VX: " + e.Message());
    } catch (const std::exception& e) {
        ReportHandlerFailure(window, message,
                             vx::Str("VXG_DIALOG_DIALOGPROC_CATCH_STD: ") + e.what());
    } catch (...) {
        ReportHandlerFailure(window, message, "VXG_DIALOG_DIALOGPROC_CATCH_ALL: Unexpected error");
    }
    return FALSE;
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded(window, message, [&] { return Dispatch(window, message, wParam, lParam); });
}

INT_PTR Dialog::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return Initialise(window, lParam);
    Dialog* dialog = DialogRegistry::Find(window);
    if (dialog == nullptr) return FALSE;
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR Dialog::Initialise(HWND window, LPARAM lParam) {
    Dialog* dialog = reinterpret_cast<Dialog*>(lParam);
    dialog->window = window;
    DialogRegistry::Add(window, dialog);
    dialog->OnInitDialog();
    return TRUE;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            return HandleClose(lParam);
        case WM_DESTROY:
            return HandleDestroy();
        case WM_ACTIVATE:
            return HandleActivate(wParam, lParam);
        case WM_NOTIFY:
            return HandleNotify(wParam, lParam);
        case WM_SIZING:
            return HandleSizing(lParam);
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam), (wParam & 1) != 0, (wParam & 2) != 0);
            return FALSE;
        case WM_CONTEXTMENU:
            return OnContextMenu(static_cast<short>(LOWORD(lParam)),
                                 static_cast<short>(HIWORD(lParam)),
                                 reinterpret_cast<HWND>(wParam));
        case WM_INITMENU:
            OnInitMenu(reinterpret_cast<HMENU>(wParam));
            return FALSE;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return HandleKey(message, wParam);
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_TIMER:
            OnTimer(wParam);
            return FALSE;
        case WM_SHOWWINDOW:
            OnShowWindow(wParam != 0);
            return FALSE;
        case WM_WINDOWPOSCHANGING:
            OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
            return FALSE;
        default:
            return OnMessage(message, wParam, lParam);
    }
}

INT_PTR Dialog::HandleClose(LPARAM code) {
    if (!OnClose(static_cast<int32_t>(code))) return FALSE;
    HWND own = window;
    bool quit = quitOnClose;
    if (modal) {
        EndDialog(own, code);
    } else {
        DestroyWindow(own);
    }
    if (quit) PostQuitMessage(0);
    return TRUE;
}

INT_PTR Dialog::HandleDestroy() {
    HWND own = window;
    OnDestroy();
    window = nullptr;
    DialogRegistry::Remove(own);
    if (ActiveModelessDialog() == own) SetActiveModelessDialog(nullptr);
    return FALSE;
}

// Returns FALSE in every case: the dialog manager's own focus handling must
// still run.
INT_PTR Dialog::HandleActivate(WPARAM wParam, LPARAM lParam) {
    HWND other = reinterpret_cast<HWND>(lParam);
    switch (LOWORD(wParam)) {
        case WA_ACTIVE:
        case WA_CLICKACTIVE:
            if (window != MainWindowHandle() && !modal) SetActiveModelessDialog(window);
            OnActivate(other);
            break;
        case WA_INACTIVE:
            if (ActiveModelessDialog() == window) SetActiveModelessDialog(nullptr);
            OnDeactivate(other);
            break;
    }
    return FALSE;
}

INT_PTR Dialog::HandleNotify(WPARAM wParam, LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code == static_cast<UINT>(TCN_SELCHANGE)) TabControl::SwitchPages(header->hwndFrom);
    LRESULT result = OnNotify(static_cast<int>(wParam), header);
    if (result == 0) return FALSE;
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR Dialog::HandleSizing(LPARAM lParam) {
    RECT* proposed = reinterpret_cast<RECT*>(lParam);
    RECT copy = *proposed;
    if (!OnSizing(copy)) return FALSE;
    *proposed = copy;
    return TRUE;
}

bool Dialog::HandleKey(UINT message, WPARAM key) {
    switch (message) {
        case WM_KEYDOWN:
            return OnKeyDown(key);
        case WM_KEYUP:
            return OnKeyUp(key);
        case WM_SYSKEYDOWN:
            return OnSysKeyDown(key);
        default:
            return OnSysKeyUp(key);
    }
}

bool Dialog::RouteKey(const MSG& message) {
    if (!IsKeyMessage(message.message)) return false;
    for (HWND window = message.hwnd; window != nullptr; window = GetParent(window)) {
        Dialog* dialog = DialogRegistry::Find(window);
        if (dialog == nullptr) continue;
        return Guarded(window, message.message,
                       [&] { return dialog->HandleKey(message.message, message.wParam); }) != FALSE;
    }
    return false;
}

}  // namespace vxg
