// The Linux program: the gateway without the user interface.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/boundary.h"
#include "core/config.h"
#include "core/log.h"
#include "core/thread_handlers.h"

namespace {

int Run() {
    vxw::InstallThreadHandlers();
    Config& config = Config::Instance();
    if (config.TakeNewVersionFlag()) Log("Starting - " + Config::GetVersion());
    config.TakeFirstRunFlag();
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--version") == 0)) {
        std::printf("%s\n", Config::GetVersion().c_str());
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("Usage: mirelink [/detach] [/hklm] [/hideicon] [--help] [--version]\n");
        return 0;
    }
    signal(SIGPIPE, SIG_IGN);
    int result = 1;
    vx::CatchAtBoundary("WinMain", vx::kUnexpected, [&] { result = Run(); },
                        [](const vx::Str& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    return result;
}
