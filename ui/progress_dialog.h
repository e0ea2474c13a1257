#pragma once
// The download of a program update: a modal dialog with a running marquee
// while a thread of its own fetches the installer into a file; the thread
// reports a failure in a warning box and closes the dialog. It cannot be
// cancelled.
#include <atomic>

#include "core/str.h"
#include "ui/dialog.h"

class ProgressDialog : public vxg::Dialog {
public:
    ProgressDialog(const vx::Str& url, const vx::Str& targetPath);

    // After ShowModal: whether the installer was saved.
    bool Succeeded() const { return success.load(); }

protected:
    void OnInitDialog() override;
    void OnCommand(HWND, int, int) override {}
    // Only the download thread closes the dialog: the thread uses it to the end.
    bool OnClose(int32_t) override { return finished.load(); }

private:
    static uint32_t DownloadThread(void* self);
    void Download();
    void Fetch();

    vxg::Control bar;
    std::atomic<bool> success{false};
    vx::Str url;
    vx::Str targetPath;
    std::atomic<bool> finished{false};
};
