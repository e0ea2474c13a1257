#include <cstdio>
#include <ctime>

#include "http/digest.h"
#include "webmail/account.h"

vx::Str NewMessageUrl(const vx::Str& folderUrl) {
    // The time keeps names of one account apart across restarts; the random
    // digits apart within a second and between gateways.
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%llx", static_cast<unsigned long long>(std::time(nullptr)));
    vx::Str url = folderUrl;
    if (url.empty() || url.back() != '/') url += '/';
    return url + "mirelink-" + stamp + "-" + vxw::MakeCnonce().substr(0, 16) + ".eml";
}
