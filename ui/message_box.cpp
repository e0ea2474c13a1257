#include "ui/message_box.h"

namespace vxg {

bool QuestionBox(const vx::Str& caption, HWND owner, const vx::Str& text) {
    return MessageBoxA(owner, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void InformationBox(const vx::Str& caption, HWND owner, const vx::Str& text) {
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void WarningBox(const vx::Str& caption, HWND owner, const vx::Str& text) {
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace vxg
