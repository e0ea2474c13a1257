#include "ui/maker_site.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>

#include "settings/registry_key.h"

namespace MakerSite {
namespace {

// "host" or "host:port"; an unreadable port leaves the default.
Server ParseServer(const vx::Str& text) {
    Server server;
    size_t colon = text.rfind(':');
    server.host = text.substr(0, colon);
    if (colon != vx::Str::npos) {
        long port = std::strtol(text.c_str() + colon + 1, nullptr, 10);
        if (port > 0 && port < 65536) server.port = static_cast<int32_t>(port);
    }
    return server;
}

}  // namespace

Server UpdateServer(bool useLocalMachine) {
    vxw::RegistryKey key;
    vx::Str text;
    auto root = useLocalMachine ? vxw::RegistryKey::Root::LocalMachine
                                : vxw::RegistryKey::Root::CurrentUser;
    if (key.Create(root, "Software\\Palisandre\\Mirelink") &&
        key.QueryString("UpdateServer", text)) {
        Server server = ParseServer(text);
        if (!server.host.empty()) return server;
    }
    return Server{kHost, -1};
}

void OpenPage(const char* url) {
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace MakerSite
