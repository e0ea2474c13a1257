#pragma once
// The program's standard message boxes (narrow functions): caption, owner
// window (may be null) and text.
#include <windows.h>

#include "core/str.h"

namespace vxg {

// Yes and No with the question icon; true for Yes.
bool QuestionBox(const vx::Str& caption, HWND owner, const vx::Str& text);
void InformationBox(const vx::Str& caption, HWND owner, const vx::Str& text);
void WarningBox(const vx::Str& caption, HWND owner, const vx::Str& text);

}  // namespace vxg
