#pragma once
// The program's one permanent window: the options dialog, hidden most of the
// time. It owns the tray icon and the two mail services, loads the settings
// into its controls and saves them back, and is what the services tell about
// their activity (the tray animation) and failed web mail logins (a balloon).
#include <atomic>

#include "core/main_window.h"
#include "core/str.h"
#include "gateway/gateway.h"
#include "ui/dialog.h"
#include "ui/sys_tray.h"

class MainDialog : public vxg::Dialog, public MainWindowEvents {
public:
    // Reads "/hideicon" and "/hklm" from the program's command line and loads
    // the settings (a failure to read them reaches the caller).
    MainDialog();
    ~MainDialog() override;

    // From the mail session threads.
    void OnSessionStarted() override;
    void OnAllSessionsEnded() override;
    void ShowLoginError(const vx::Str& text) override;

protected:
    void OnInitDialog() override;
    bool OnClose(int32_t code) override;
    void OnCommand(HWND control, int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateTrayIcon();
    void LoadControls();
    void SaveControls();
    void WelcomeFirstRun();
    void UpdateFolderBoxes();

    // The commands of the tray menu and the dialog's buttons.
    void ShowOptions();
    void ViewLogFile();
    void AskClearLog();
    void OpenHelp();
    void ShowAbout();
    void Exit();
    void Confirm();
    void Cancel();

    UINT taskbarCreated;
    bool hideIcon;
    bool useLocalMachine;
    std::atomic<bool> trayMessagesEnabled{true};
    vxg::SysTray tray;
    app::Gateway gateway;
};
