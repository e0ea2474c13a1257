#pragma once
// The program's switches. "/detach" must be the whole argument text, exactly;
// "/hideicon" and "/hklm" count anywhere in the full command line, the program
// path included, in any letter case.
#include "core/str.h"

namespace app {

// The argument text (without the program path) asks for a relaunch.
bool IsDetachRequest(const vx::Str& argumentText);

// The full command line contains the switch, ignoring case.
bool HasSwitch(const vx::Str& fullCommandLine, const vx::Str& name);

}  // namespace app
