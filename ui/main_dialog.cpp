// First: the system's headers, which ui/ needs, rename GetMessage to
// GetMessageA by a macro, and the web mail client has a method of that name.
#include "webmail/hotmail.h"
// clang-format off
#include "ui/main_dialog.h"
// clang-format on

#include "core/log.h"
#include "core/view_log.h"
#include "gateway/command_line.h"
#include "settings/config.h"
#include "ui/about_dialog.h"
#include "ui/maker_site.h"
#include "ui/message_box.h"
#include "ui/resources/resource.h"
#include "ui/update_check.h"

namespace {

constexpr UINT kTrayIconId = 101;
constexpr UINT kTrayCallback = 0x8001;
constexpr uint32_t kFrameIntervalMs = 100;
constexpr uint32_t kBalloonSeconds = 30;
// The close request of the menu's Exit, as against the close box.
constexpr int32_t kExitCode = 42;

// Re-enables the tray messages however the About box ends.
class TrayMessagesOff {
public:
    explicit TrayMessagesOff(std::atomic<bool>& enabled) : enabled(enabled) {
        enabled.store(false);
    }
    ~TrayMessagesOff() { enabled.store(true); }
    TrayMessagesOff(const TrayMessagesOff&) = delete;
    TrayMessagesOff& operator=(const TrayMessagesOff&) = delete;

private:
    std::atomic<bool>& enabled;
};

}  // namespace

MainDialog::MainDialog()
    : Dialog(IDD_OPTIONS),
      taskbarCreated(RegisterWindowMessageA("TaskbarCreated")),
      hideIcon(app::HasSwitch(GetCommandLineA(), "/hideicon")),
      useLocalMachine(app::HasSwitch(GetCommandLineA(), "/hklm")),
      gateway(MakeHotmail) {
    Config& config = Config::Instance();
    if (useLocalMachine) config.UseLocalMachine();
}

MainDialog::~MainDialog() {
    if (GetMainWindow() == this) SetMainWindow(nullptr);
}

void MainDialog::OnInitDialog() {
    SetMainWindow(this);
    SetIcons(IDI_PROGRAM);
    if (CheckForUpdate(Handle(), useLocalMachine)) {
        // Posted: the window is still being created.
        PostClose(0);
        return;
    }
    if (!hideIcon) CreateTrayIcon();
    if (Config::Instance().TakeNewVersionFlag()) Log("Starting - " + Config::GetVersion());
    LoadControls();
    gateway.Start();
}

void MainDialog::CreateTrayIcon() {
    tray.Create(kTrayIconId, kTrayCallback, Handle(), "Mirelink", IDI_TRAY_STILL, IDR_TRAY_MENU,
                ID_ABOUT);
    tray.SetIconList(IDI_TRAY_STILL, IDI_TRAY_LAST);
}

bool MainDialog::OnClose(int32_t code) {
    if (code != kExitCode && IsVisible()) {
        LoadControls();
        ShowWindow(SW_HIDE);
        return false;
    }
    gateway.Stop();
    return true;
}

void MainDialog::OnCommand(HWND, int id, int) {
    using Command = void (MainDialog::*)();
    static const struct {
        int id;
        Command run;
    } kCommands[] = {
        {ID_OPTIONS, &MainDialog::ShowOptions},
        {ID_VIEW_LOG, &MainDialog::ViewLogFile},
        {ID_CLEAR_LOG, &MainDialog::AskClearLog},
        {ID_HELP, &MainDialog::OpenHelp},
        {ID_ABOUT, &MainDialog::ShowAbout},
        {ID_EXIT, &MainDialog::Exit},
        {IDOK, &MainDialog::Confirm},
        {IDCANCEL, &MainDialog::Cancel},
        {IDC_OTHER_FOLDERS, &MainDialog::UpdateFolderBoxes},
    };
    for (const auto& command : kCommands) {
        if (command.id == id) return (this->*command.run)();
    }
}

bool MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (hideIcon) return false;
    if (message == kTrayCallback)
        return trayMessagesEnabled.load() && tray.OnTrayNotification(wParam, lParam);
    if (message == taskbarCreated) return tray.ReAdd();
    return false;
}

void MainDialog::ShowOptions() {
    ShowWindow(SW_SHOW);
    SetForegroundWindow(Handle());
}

void MainDialog::ViewLogFile() {
    ViewLog();
}

void MainDialog::AskClearLog() {
    if (vxg::QuestionBox("Clear log file", Handle(),
                         "Are you sure you wish to delete the current log file contents?")) {
        ClearLog();
    }
}

void MainDialog::OpenHelp() {
    MakerSite::OpenPage(MakerSite::kHelpPage);
}

void MainDialog::ShowAbout() {
    TrayMessagesOff off(trayMessagesEnabled);
    AboutDialog about;
    about.ShowModal(nullptr);
}

void MainDialog::Exit() {
    Close(kExitCode);
}

void MainDialog::Confirm() {
    SaveControls();
    // The fields show what was stored ("0" for the IMAP port reads as off).
    LoadControls();
    ShowWindow(SW_HIDE);
    gateway.Restart();
}

void MainDialog::Cancel() {
    ShowWindow(SW_HIDE);
    LoadControls();
}

void MainDialog::WelcomeFirstRun() {
    ShowAbout();
    if (!hideIcon) {
        tray.ShowBalloon(NIIF_INFO,
                         "Mirelink is now running.\r\nRight-click on this icon for options.",
                         "Mirelink", kBalloonSeconds);
    }
}

void MainDialog::OnSessionStarted() {
    if (!hideIcon) tray.StartAnimation(kFrameIntervalMs);
}

void MainDialog::OnAllSessionsEnded() {
    if (!hideIcon) tray.StopAnimation();
}

void MainDialog::ShowLoginError(const vx::Str& text) {
    if (!hideIcon) tray.ShowBalloon(NIIF_INFO, text, "Mirelink", kBalloonSeconds);
}
