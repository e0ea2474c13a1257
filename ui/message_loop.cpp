#include "ui/message_loop.h"

#include <windows.h>

#include "core/exception.h"
#include "text/str_util.h"
#include "ui/dialog.h"
#include "ui/ui_state.h"

namespace vxg {
namespace {

// The wide or the narrow functions, as chosen at start.
struct MessageFunctions {
    BOOL(WINAPI* get)(LPMSG, HWND, UINT, UINT);
    BOOL(WINAPI* isDialogMessage)(HWND, LPMSG);
    LRESULT(WINAPI* dispatch)(const MSG*);
};

const MessageFunctions kWide = {GetMessageW, IsDialogMessageW, DispatchMessageW};
const MessageFunctions kNarrow = {GetMessageA, IsDialogMessageA, DispatchMessageA};

bool TakenByNavigation(const MessageFunctions& functions, HWND dialog, MSG& message) {
    return dialog != nullptr && functions.isDialogMessage(dialog, &message) != FALSE;
}

}  // namespace

int RunMessageLoop() {
    const MessageFunctions& functions = UseWideFunctions() ? kWide : kNarrow;
    MSG message = {};
    for (;;) {
        BOOL got = functions.get(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) {
            throw vx::Exception("vxg::RunMessageLoop::GetMessage - Error getting message - " +
                                vx::StrUtil::UIntToStr(GetLastError()));
        }
        if (Dialog::RouteKey(message)) continue;
        if (TakenByNavigation(functions, MainWindowHandle(), message)) continue;
        if (TakenByNavigation(functions, ActiveModelessDialog(), message)) continue;
        TranslateMessage(&message);
        functions.dispatch(&message);
    }
}

}  // namespace vxg
