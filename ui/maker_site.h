#pragma once
// The maker's web server: the update check asks it for the current version,
// and the help and home pages live there. The name lies in a domain reserved
// for examples: the real server is not part of this program's world. The
// settings value "UpdateServer" (host or host:port, read only, absent by
// default) sends the update check elsewhere.
#include <cstdint>

#include "core/str.h"

namespace MakerSite {

constexpr char kHost[] = "www.mirelink.example";
constexpr char kHomePage[] = "http://www.mirelink.example/";
constexpr char kHelpPage[] = "http://www.mirelink.example/mirelink/help/";
constexpr char kUpdatePath[] = "/mirelink/checkforupdate";

struct Server {
    vx::Str host;
    int32_t port = -1;  // -1: the default port of plain HTTP
};

// The server of the update check: "UpdateServer" of the settings below the
// chosen root key when it holds a host, else kHost.
Server UpdateServer(bool useLocalMachine);

// Opens a page in the user's browser.
void OpenPage(const char* url);

}  // namespace MakerSite
