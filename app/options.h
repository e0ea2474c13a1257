#pragma once
// The Linux program's command line. Besides the Windows program's switches
// ("/detach", "/hklm" in any letter case, "/hideicon", which has nothing to
// hide here) it knows --help, --version, --config FILE, --log -|FILE,
// --get [NAME], --set NAME=VALUE..., --status and --check [ACCOUNT]; anything
// else is a usage error.
#include <vector>

#include "core/str.h"

namespace app {

struct Options {
    enum class Action { Run, Help, Version, Detach, Get, Set, Status, Check };
    Action action = Action::Run;
    bool localMachine = false;   // /hklm
    vx::Str configFile;          // --config; empty for the store's own file
    bool logChosen = false;      // --log given
    vx::Str logFile;             // --log: "-" for standard error
    vx::Str getName;             // --get NAME; empty for every setting
    std::vector<vx::Str> assignments;  // --set: "NAME=VALUE" each
    vx::Str account;             // --check ACCOUNT; empty: asked for
};

// A command line that cannot be taken; the text says why, for the user.
struct UsageError {
    vx::Str text;
};

// Reads the arguments after the program name. Throws UsageError.
Options ParseOptions(const std::vector<vx::Str>& arguments);

// The arguments that make a detached copy run as this one would.
std::vector<vx::Str> ArgumentsForCopy(const Options& options);

extern const char kUsage[];

}  // namespace app
