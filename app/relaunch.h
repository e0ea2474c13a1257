#pragma once
// "/detach": the program file of the program folder started anew, detached
// from this process and its terminal.
#include <vector>

#include "core/str.h"

namespace app {

// Starts the copy with arguments and returns this process's exit code. On
// Windows through the shell, without examining the outcome: 0. On Linux it
// waits until the copy runs: what the copy says until then goes to standard
// error, its process id to standard output, and 0 is returned; 1 when it
// failed to start.
int RelaunchDetached(const std::vector<vx::Str>& arguments);

// In a copy started so on Linux, tells the waiting launcher how the start
// went (once); Running also turns standard output and error away from the
// launcher. Does nothing in any other process.
enum class StartOutcome { Running, AlreadyRunning };
void TellLauncher(StartOutcome outcome);

}  // namespace app
