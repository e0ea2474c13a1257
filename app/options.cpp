#include "app/options.h"

#include <cctype>

namespace app {
namespace {

using Action = Options::Action;

bool SameLetters(const vx::Str& a, const vx::Str& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsSwitch(const vx::Str& argument) {
    return !argument.empty() && (argument[0] == '-' || argument[0] == '/');
}

// "--name VALUE" or "--name=VALUE"; at points at the switch and moves past
// what it took.
vx::Str TakeValue(const std::vector<vx::Str>& arguments, size_t& at, const vx::Str& name) {
    const vx::Str& argument = arguments[at];
    if (argument.size() > name.size() && argument[name.size()] == '=') return argument.substr(name.size() + 1);
    if (at + 1 >= arguments.size()) throw UsageError{name + " needs a value"};
    return arguments[++at];
}

bool Named(const vx::Str& argument, const vx::Str& name) {
    return argument == name || argument.compare(0, name.size() + 1, name + "=") == 0;
}

void SetAction(Options& options, Action action, const vx::Str& argument) {
    if (options.action != Action::Run && options.action != action)
        throw UsageError{argument + " cannot be combined with the other action given"};
    options.action = action;
}

void TakeGet(Options& options, const std::vector<vx::Str>& arguments, size_t& at) {
    SetAction(options, Action::Get, "--get");
    if (at + 1 < arguments.size() && !IsSwitch(arguments[at + 1])) options.getName = arguments[++at];
}

void TakeCheck(Options& options, const std::vector<vx::Str>& arguments, size_t& at) {
    SetAction(options, Action::Check, "--check");
    if (at + 1 < arguments.size() && !IsSwitch(arguments[at + 1])) options.account = arguments[++at];
}

void TakeSet(Options& options, const std::vector<vx::Str>& arguments, size_t& at) {
    SetAction(options, Action::Set, "--set");
    while (at + 1 < arguments.size() && !IsSwitch(arguments[at + 1])) {
        const vx::Str& assignment = arguments[++at];
        if (assignment.find('=') == vx::Str::npos || assignment[0] == '=')
            throw UsageError{"--set takes NAME=VALUE, not " + assignment};
        options.assignments.push_back(assignment);
    }
    if (options.assignments.empty()) throw UsageError{"--set needs at least one NAME=VALUE"};
}

}  // namespace

Options ParseOptions(const std::vector<vx::Str>& arguments) {
    Options options;
    bool help = false, version = false;
    for (size_t at = 0; at < arguments.size(); ++at) {
        const vx::Str& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else if (argument == "/detach") {
            SetAction(options, Action::Detach, argument);
        } else if (SameLetters(argument, "/hklm")) {
            options.localMachine = true;
        } else if (SameLetters(argument, "/hideicon")) {
            // The Windows program's: there is no icon to hide here.
        } else if (Named(argument, "--config")) {
            options.configFile = TakeValue(arguments, at, "--config");
            if (options.configFile.empty()) throw UsageError{"--config needs a file"};
        } else if (Named(argument, "--log")) {
            options.logFile = TakeValue(arguments, at, "--log");
            options.logChosen = true;
            if (options.logFile.empty()) throw UsageError{"--log needs a file, or - for standard error"};
        } else if (argument == "--get") {
            TakeGet(options, arguments, at);
        } else if (argument == "--set") {
            TakeSet(options, arguments, at);
        } else if (argument == "--status") {
            SetAction(options, Action::Status, argument);
        } else if (argument == "--check") {
            TakeCheck(options, arguments, at);
        } else {
            throw UsageError{"unknown argument " + argument};
        }
    }
    if (options.localMachine && !options.configFile.empty())
        throw UsageError{"/hklm and --config name two different settings files"};
    if (help) options.action = Action::Help;
    else if (version) options.action = Action::Version;
    return options;
}

std::vector<vx::Str> ArgumentsForCopy(const Options& options) {
    std::vector<vx::Str> copy;
    if (options.localMachine) copy.push_back("/hklm");
    if (!options.configFile.empty()) copy.insert(copy.end(), {"--config", options.configFile});
    if (options.logChosen) copy.insert(copy.end(), {"--log", options.logFile});
    return copy;
}

const char kUsage[] =
    "Usage: mirelink [--config FILE | /hklm] [--log -|FILE] [/detach]\n"
    "       mirelink [--config FILE | /hklm] --get [NAME]\n"
    "       mirelink [--config FILE | /hklm] --set NAME=VALUE...\n"
    "       mirelink [--config FILE | /hklm] --status\n"
    "       mirelink [--config FILE | /hklm] --check [ACCOUNT]\n"
    "       mirelink --help | --version\n"
    "\n"
    "Mirelink lets a POP3, SMTP or IMAP mail client use a web mail account reached\n"
    "over HTTP. It listens on the address and ports of its settings (on a first\n"
    "start 127.0.0.1, POP3 1110, SMTP 1025, IMAP 1143) and runs until SIGINT or\n"
    "SIGTERM; SIGHUP makes it read its settings again and listen anew (in the\n"
    "foreground of a terminal a hang-up is the terminal going away: it stops).\n"
    "\n"
    "  --config FILE    use this settings file instead of the user's own\n"
    "  /hklm            use the machine-wide settings (/etc/Palisandre/Mirelink.reg)\n"
    "  --log -|FILE     log to standard error (-) or to FILE instead of\n"
    "                   $XDG_STATE_HOME/Palisandre/mirelink.log\n"
    "  /detach          start a copy in the background, print its process id, exit\n"
    "  --get [NAME]     print the settings in effect, or the value of one\n"
    "  --set NAME=VALUE...  change settings (numbers, flags 0/1, texts; the proxy\n"
    "                   password is stored protected); SIGHUP applies them\n"
    "  --status         whether a gateway runs with these settings: its process,\n"
    "                   ports, start and last error; exit 0 if it runs, 3 if not\n"
    "  --check [ACCOUNT]  log in to the web mail service as ACCOUNT (the password\n"
    "                   is asked for, or read from standard input) and list the\n"
    "                   folders; says which step failed and why\n"
    "  --help           show this text\n"
    "  --version        show the version\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/Palisandre/Mirelink.reg (default ~/.config/...).\n"
    "See mirelink(1) for the settings and what they do.\n";

}  // namespace app
