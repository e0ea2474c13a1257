// The Linux program: the gateway without the user interface. It starts like
// the Windows program (settings, log, POP3 then SMTP listener) and stops on
// SIGINT or SIGTERM the way the tray menu's Exit does.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/headless.h"
#include "app/relaunch.h"
#include "app/single_instance.h"
#include "core/boundary.h"
#include "core/config.h"
#include "core/log.h"
#include "core/thread_handlers.h"

namespace {

const char kUsage[] =
    "Usage: mirelink [/detach | /hklm | --help | --version]\n"
    "\n"
    "Mirelink lets a POP3/SMTP mail client use a web mail account reached over HTTP.\n"
    "It listens on the address and ports of its settings (default 127.0.0.1:110 and :25)\n"
    "and runs until it receives SIGINT or SIGTERM.\n"
    "\n"
    "  /detach    start a copy detached from the terminal and exit\n"
    "  /hklm      use the machine-wide settings (/etc/Palisandre/Mirelink.reg)\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/Palisandre/Mirelink.reg (default ~/.config/...).\n"
    "Log: mirelink.log beside the program file; its lines also go to standard error\n"
    "when that is a terminal, and whenever the file cannot be written.\n";

vx::Str Join(int from, int argc, char** argv) {
    vx::Str text;
    for (int i = from; i < argc; ++i) {
        if (i > from) text += ' ';
        text += argv[i];
    }
    return text;
}

// Without a window, the terminal is where a user looks; and a line the log
// file could not take would otherwise be lost without a trace.
void EchoLogLine(const vx::Str& line, bool written) {
    static const bool terminal = isatty(STDERR_FILENO) == 1;
    if (!terminal && written) return;
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
}

// Blocks SIGINT and SIGTERM in every thread to come; the main thread takes
// them with sigwait.
sigset_t BlockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

int RunApplication(const vx::Str& fullCommandLine, const sigset_t& stopSignals) {
    vxw::InstallThreadHandlers();
    SetLogEcho(EchoLogLine);
    return app::RunHeadless(fullCommandLine, [&stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
    });
}

}  // namespace

int main(int argc, char** argv) {
    vx::Str argumentText = Join(1, argc, argv);
    if (argumentText == "--help" || argumentText == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argumentText == "--version") {
        std::printf("%s\n", Config::GetVersion().c_str());
        return 0;
    }
    if (app::IsDetachRequest(argumentText)) {
        app::RelaunchDetached();
        return 0;
    }
    // A mail client that vanishes must give an error, not end the process.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals = BlockStopSignals();
    app::SingleInstance instance;
    int result = 1;
    vx::CatchAtBoundary(
        "WinMain", vx::kUnexpected,
        [&] { result = instance.Acquire() ? RunApplication(Join(0, argc, argv), stopSignals) : 0; },
        [](const vx::Str& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    return result;
}
