#include "ui/update_check.h"

// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "core/dir_util.h"
#include "http/http.h"
#include "settings/config.h"
#include "text/str_util.h"
#include "ui/maker_site.h"
#include "ui/message_box.h"
#include "ui/progress_dialog.h"
#include "ui/shell_folder.h"

namespace {

constexpr int32_t kTimeoutMs = 30000;
constexpr char kQuestion[] =
    "An updated program version is available.\r\n"
    "Would you like to download and install the update now?";

// The server's answer: the current version on line 1, the installer's URL on
// line 2. Lines end in CR LF; a bare LF is taken too.
struct Offer {
    vx::Str version;
    vx::Str url;
};

bool AskServer(bool useLocalMachine, Offer& offer) {
    MakerSite::Server server = MakerSite::UpdateServer(useLocalMachine);
    vxw::Http http;
    http.SetServer(server.port, false, server.host, "", 0, "", "", kTimeoutMs);
    http.SendRequest(MakerSite::kUpdatePath, "GET", nullptr, 0, nullptr, nullptr, 10, true, true,
                     "");
    if (http.GetStatusCode() != 200) return false;
    vx::Str body = http.GetPage();
    std::vector<vx::Str> lines;
    vx::StrUtil::Tokenize(lines, body, "\n", "", false);
    for (vx::Str& line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    lines.resize(std::max<size_t>(lines.size(), 2));
    offer = Offer{lines[0], lines[1]};
    return true;
}

// The installer's file name: what follows the URL's last slash, and never a
// path of its own (a backslash would lead out of the download folder).
vx::Str InstallerName(const vx::Str& url, size_t slash) {
    vx::Str name = url.substr(slash + 1);
    size_t backslash = name.rfind('\\');
    return backslash == vx::Str::npos ? name : name.substr(backslash + 1);
}

}  // namespace

bool CheckForUpdate(HWND owner, bool useLocalMachine) {
    try {
        Offer offer;
        if (!AskServer(useLocalMachine, offer)) return false;
        if (offer.version == Config::GetVersion()) return false;
        if (!vxg::QuestionBox("Mirelink", owner, kQuestion)) return false;
        return DownloadUpdate(owner, offer.url);
    } catch (...) {
        return false;
    }
}

bool DownloadUpdate(HWND owner, const vx::Str& url) {
    vx::Str folder = vxg::GetSpecialFolderPath(CSIDL_LOCAL_APPDATA) + "Quenvar Mirelink\\";
    vxw::DirUtil::CreatePath(folder);
    size_t slash = url.rfind('/');
    if (slash == vx::Str::npos) {
        vxg::WarningBox("Update failed (slash)", owner,
                        "There was an error downloading the update (slash).");
        return false;
    }
    vx::Str target = folder + InstallerName(url, slash);
    ProgressDialog progress(url, target);
    progress.ShowModal(nullptr);
    if (!progress.Succeeded()) return false;
    ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}
