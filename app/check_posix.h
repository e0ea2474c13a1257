#pragma once
// --check [ACCOUNT]: what a user runs when the mail client says nothing
// useful. Step by step, as the gateway would: the settings, the name of the
// host it connects to (the proxy, or the service), the connection, the
// proxy's authentication, the login with the account, and the listing of
// every folder with its message count. It says at which step it failed and
// why.
#include "app/options.h"

namespace app {

// Returns 0 when every step worked, 1 when one failed, 2 when no account
// or password was given.
int RunCheck(const Options& options, const vx::Str& settingsFile);

}  // namespace app
