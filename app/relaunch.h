#pragma once

namespace app {

// Starts the program file of the program folder anew, detached from this
// process and its terminal. The outcome is not examined: the caller exits.
void RelaunchDetached();

}  // namespace app
