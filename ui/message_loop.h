#pragma once

namespace vxg {

// The UI thread's message loop: runs until the quit message and returns its
// exit code. Key messages go first to the key operations of the dialog that
// owns their window, then the main window's and the active modeless dialog's
// dialog navigation (Tab, Enter, Escape, mnemonics) get their turn.
int RunMessageLoop();

}  // namespace vxg
