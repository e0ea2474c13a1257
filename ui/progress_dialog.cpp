#include "ui/progress_dialog.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <exception>

#include "core/body_stream.h"
#include "core/exception.h"
#include "core/thread.h"
#include "core/thread_handlers.h"
#include "http/http.h"
#include "text/str_util.h"
#include "ui/message_box.h"
#include "ui/resources/resource.h"
#include "ui/xp_themes.h"

namespace {

constexpr int32_t kTimeoutMs = 30000;
constexpr UINT kMarqueeStepMs = 30;

}  // namespace

ProgressDialog::ProgressDialog(const vx::Str& url, const vx::Str& targetPath)
    : Dialog(IDD_PROGRESS), url(url), targetPath(targetPath) {}

void ProgressDialog::OnInitDialog() {
    bar.Bind(Handle(), IDC_PROGRESS_BAR);
    bar.SetProgressRange(0, 100);
    bar.SetProgressPosition(10);
    SetWindowLongA(bar.Handle(), GWL_STYLE, GetWindowLongA(bar.Handle(), GWL_STYLE) | PBS_MARQUEE);
    SendMessageA(bar.Handle(), PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
    vxw::ThreadHandle thread = vxw::CreateThread(DownloadThread, this);
    vxw::CloseThreadHandle(thread);
    // Last: a failure of the cosmetic background must not keep the download
    // from running and closing the dialog.
    vxg::XpThemes::Instance().EnableThemeDialogTexture(Handle(), vxg::XpThemes::kEnableTab);
}

uint32_t ProgressDialog::DownloadThread(void* self) {
    static_cast<ProgressDialog*>(self)->Download();
    return 0;
}

void ProgressDialog::Download() {
    vxw::InstallThreadHandlers();
    vx::Str failure;
    try {
        Fetch();
        success.store(true);
    } catch (const vx::Exception& e) {
        failure = e.Message();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error.";
    }
    if (!success.load()) {
        vxg::WarningBox("Update failed", Handle(),
                        "There was an error downloading the update:\r\n" + failure);
    }
    finished.store(true);
    // The last use of this object: ShowModal returns once this is handled.
    Close(0);
}

void ProgressDialog::Fetch() {
    vx::StrUtil::UrlParts parts = vx::StrUtil::SplitUrl(url);
    vxw::Http http;
    http.SetServer(parts.port, false, parts.host, "", 0, "", "", kTimeoutMs);
    // The installer goes to its file as it arrives, never whole in memory;
    // the file is made only once the server answered with it.
    vxw::FileSink file(targetPath, "Error saving program update to disk: " + targetPath);
    try {
        http.SendRequest(parts.path.empty() ? "/" : parts.path, "GET", nullptr, nullptr, nullptr,
                         10, true, true, [&file](const vxw::Http& answer) -> vxw::BodySink* {
                             if (answer.GetStatusCode() != 200) return nullptr;
                             file.Open();
                             return &file;
                         });
        int32_t status = http.GetStatusCode();
        if (status != 200)
            throw vx::Exception("Unexpected status code: " + vx::StrUtil::IntToStr(status));
        // A cut installer must never be started.
        if (http.BodyEndedEarly())
            throw vx::Exception("The update download ended early: " + targetPath);
        file.Close();
    } catch (...) {
        file.Discard();
        throw;
    }
}
