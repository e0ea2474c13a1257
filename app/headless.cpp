#include "app/headless.h"

#include "app/command_line.h"
#include "app/gateway.h"
#include "core/config.h"
#include "core/log.h"
#include "webmail/hotmail.h"

namespace app {

int RunHeadless(const vx::Str& fullCommandLine, const std::function<void()>& waitForStop) {
    Config& config = Config::Instance();
    if (HasSwitch(fullCommandLine, "/hklm")) config.UseLocalMachine();
    if (config.TakeNewVersionFlag()) Log("Starting - " + Config::GetVersion());
    config.TakeFirstRunFlag();
    Gateway gateway(MakeHotmail);
    gateway.Start();
    waitForStop();
    gateway.Stop();
    return 0;
}

}  // namespace app
