#pragma once
// The program's run where it has no window (the Linux program): what the
// Windows main window does when it starts and at Exit, around a wait for the
// system's stop request.
#include <functional>

#include "core/str.h"

namespace app {

// Reads the settings (from the machine's store with "/hklm" in the command
// line), logs the first start of a version, starts the POP3 and then the SMTP
// service, calls waitForStop, and stops both services. Returns the exit code.
int RunHeadless(const vx::Str& fullCommandLine, const std::function<void()>& waitForStop);

}  // namespace app
