// The dialog framework and the tray icon in a real window session (the UI
// test run starts this program on its virtual display): the dialog
// procedure's routing and failure boxes, closing rules, the message loop's key
// routing, menus, and the tray animation's start and stop from many threads.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/exception.h"
#include "tests/ui/framework_ids.h"
#include "ui/dialog.h"
#include "ui/dialog_registry.h"
#include "ui/menu.h"
#include "ui/message_loop.h"
#include "ui/shell_folder.h"
#include "ui/sys_tray.h"
#include "ui/tab_control.h"

namespace {

constexpr int kThrowVx = 1, kThrowStd = 2, kThrowOther = 3, kHarmless = 4;

class TestDialog : public vxg::Dialog {
public:
    TestDialog() : Dialog(IDD_TEST_DIALOG) {}

    bool allowClose = true;
    int closeAsks = 0;
    std::vector<vx::Str> errors;
    std::vector<WPARAM> keys;
    int commands = 0;
    HWND nestedEdit = nullptr;
    int closeInInit = -1;

protected:
    void OnInitDialog() override {
        HWND container = GetDlgItem(Handle(), IDC_TEST_CONTAINER);
        nestedEdit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 12, container,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        if (closeInInit >= 0) PostClose(closeInInit);
    }
    bool OnClose(int32_t) override {
        ++closeAsks;
        return allowClose;
    }
    void OnCommand(HWND, int id, int) override {
        ++commands;
        if (id == kThrowVx) throw vx::Exception("boom");
        if (id == kThrowStd) throw std::runtime_error("std boom");
        if (id == kThrowOther) throw 7;
    }
    bool OnKeyDown(WPARAM key) override {
        keys.push_back(key);
        PostClose(0);
        return true;
    }

public:
    void ShowError(UINT, const vx::Str& text) override { errors.push_back(text); }
};

// A program whose message loop hangs would never end the test run.
struct Watchdog {
    Watchdog() {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::seconds(60));
            std::fputs("framework_test: a test hung\n", stderr);
            std::_Exit(3);
        }).detach();
    }
};
Watchdog watchdog;

bool QuitPosted() {
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

TEST(Dialog, FailuresInHandlersBecomeErrorTextsAndTheDialogGoesOn) {
    TestDialog dialog;
    dialog.Show(nullptr);
    const struct {
        int command;
        const char* text;
    } cases[] = {
        {kThrowVx, "VXG_DIALOG_DIALOGPROC_CATCH_VX: boom - 273"},
        {kThrowStd, "VXG_DIALOG_DIALOGPROC_CATCH_STD: std boom - 273"},
        {kThrowOther, "VXG_DIALOG_DIALOGPROC_CATCH_ALL: Unexpected error - 273"},
    };
    for (const auto& c : cases) {
        dialog.errors.clear();
        SendMessageA(dialog.Handle(), WM_COMMAND, c.command, 0);
        ASSERT_EQ(1u, dialog.errors.size());
        EXPECT_EQ(c.text, dialog.errors[0]);
    }
    SendMessageA(dialog.Handle(), WM_COMMAND, kHarmless, 0);
    EXPECT_EQ(4, dialog.commands);
    EXPECT_EQ(1u, dialog.errors.size());
}

TEST(Dialog, RefusedCloseKeepsTheWindowAndTheLoop) {
    TestDialog dialog;
    dialog.SetQuitOnClose(true);
    dialog.allowClose = false;
    dialog.Show(nullptr);
    dialog.Close(0);
    EXPECT_EQ(1, dialog.closeAsks);
    EXPECT_TRUE(IsWindow(dialog.Handle()));
    EXPECT_FALSE(QuitPosted());
}

TEST(Dialog, CloseWithQuitFlagEndsTheLoopAndForgetsTheWindow) {
    TestDialog dialog;
    dialog.SetQuitOnClose(true);
    dialog.Show(nullptr);
    HWND window = dialog.Handle();
    dialog.PostClose(5);
    EXPECT_EQ(0, vxg::RunMessageLoop());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, dialog.Handle());
    EXPECT_EQ(nullptr, vxg::DialogRegistry::Find(window));
}

TEST(Dialog, KeyInANestedControlReachesTheDialog) {
    TestDialog dialog;
    dialog.SetQuitOnClose(true);
    dialog.Show(nullptr);
    ASSERT_NE(nullptr, dialog.nestedEdit);
    PostMessageA(dialog.nestedEdit, WM_KEYDOWN, VK_F5, 1);
    EXPECT_EQ(0, vxg::RunMessageLoop());
    ASSERT_EQ(1u, dialog.keys.size());
    EXPECT_EQ(static_cast<WPARAM>(VK_F5), dialog.keys[0]);
}

TEST(Dialog, ModalResultIsTheCloseCode) {
    TestDialog dialog;
    dialog.closeInInit = 17;
    EXPECT_EQ(17, dialog.ShowModal(nullptr));
}

TEST(Dialog, MissingTemplateRaises) {
    class Missing : public vxg::Dialog {
    public:
        Missing() : Dialog(IDD_NO_SUCH_DIALOG) {}
    } missing;
    try {
        missing.ShowModal(nullptr);
        FAIL() << "no exception";
    } catch (const vx::Exception& e) {
        EXPECT_EQ(0u, e.Message().find(
                          "vxg::Dialog::ShowModal::DialogBoxParamW - Error creating dialog - "))
            << e.Message();
    }
}

class Page : public vxg::Dialog {
public:
    Page() : Dialog(IDD_TEST_PAGE) {}
    HWND Item(int id) const { return GetDlgItem(Handle(), id); }
};

// Selecting a tab shows its page and hides the others; a page that is left
// keeps its focused control and gets it back on return.
TEST(TabControl, SelectionSwitchesPagesAndKeepsTheirFocus) {
    TestDialog host;
    host.Show(nullptr);
    ShowWindow(host.Handle(), SW_SHOW);
    HWND tab = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                               host.Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    Page pages[2];
    for (int i = 0; i < 2; ++i) {
        pages[i].Show(host.Handle());
        TCITEMA item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<char*>("page");
        item.lParam = reinterpret_cast<LPARAM>(&pages[i]);
        SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    auto select = [&](int index) {
        SendMessageA(tab, TCM_SETCURSEL, index, 0);
        NMHDR header = {tab, 0, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(host.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    };
    EXPECT_EQ(&pages[1], vxg::TabControl::GetTabPage(tab, 1));

    select(0);
    EXPECT_TRUE(pages[0].IsVisible());
    EXPECT_FALSE(pages[1].IsVisible());
    EXPECT_EQ(pages[0].Item(IDC_PAGE_FIRST), GetFocus());
    SetFocus(pages[0].Item(IDC_PAGE_SECOND));

    select(1);
    EXPECT_FALSE(pages[0].IsVisible());
    EXPECT_TRUE(pages[1].IsVisible());
    EXPECT_EQ(pages[1].Item(IDC_PAGE_FIRST), GetFocus());

    select(0);
    EXPECT_EQ(pages[0].Item(IDC_PAGE_SECOND), GetFocus());
}

TEST(Menu, DefaultItemIsFoundByCommand) {
    vxg::Menu menu;
    menu.Create(IDR_TEST_MENU);
    vxg::Menu popup = menu.GetSubmenu();
    popup.SetDefaultItemId(ID_TEST_TWO);
    EXPECT_EQ(static_cast<UINT>(ID_TEST_TWO), popup.GetDefaultItemId());
    try {
        menu.Create(IDD_NO_SUCH_DIALOG);
        FAIL() << "no exception";
    } catch (const vx::Exception& e) {
        EXPECT_EQ(0u,
                  e.Message().find("vxg::Menu::Create::LoadMenu - Error loading menu resource - "
                                   "00000000 - 299 - "))
            << e.Message();
    }
}

TEST(ShellFolder, PathsEndInABackslash) {
    vx::Str folder = vxg::GetSpecialFolderPath(0x1c);  // local application data
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ('\\', folder.back());
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override {
        owner.Show(nullptr);
        tray.Create(7, WM_APP + 1, owner.Handle(), "framework test", IDI_TEST_ICON, IDR_TEST_MENU,
                    ID_TEST_ONE);
    }
    TestDialog owner;
    vxg::SysTray tray;
};

TEST_F(Tray, BadFrameRangeRaisesAndKeepsTheOldOne) {
    tray.SetIconList(IDI_TEST_ICON, IDI_TEST_ICON_2);
    try {
        tray.SetIconList(5, 4);
        FAIL() << "no exception";
    } catch (const vx::Exception& e) {
        EXPECT_EQ("vxg::SysTray::SetIconList::ids - Invalid ID range specified - 5 - 4",
                  e.Message());
    }
    tray.StartAnimation(1);
    tray.StopAnimation();
}

// Sessions start and end on threads of their own. A start that comes while a
// stop waits for the frame thread must not keep that thread going, or the
// stop would wait for ever.
TEST_F(Tray, AnimationStartsAndStopsFromTwoThreads) {
    tray.SetIconList(IDI_TEST_ICON, IDI_TEST_ICON_2);
    std::atomic<bool> go{false};
    auto repeat = [&](auto action) {
        return std::thread([&, action] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < 100; ++i) action();
        });
    };
    std::thread starter = repeat([&] { tray.StartAnimation(20); });
    std::thread stopper = repeat([&] { tray.StopAnimation(); });
    go.store(true);
    starter.join();
    stopper.join();
    tray.StopAnimation();
    tray.StopAnimation();  // not running: nothing to do
}

TEST_F(Tray, DoubleClickRunsTheDefaultCommandAndOtherIconsAreIgnored) {
    EXPECT_FALSE(tray.OnTrayNotification(8, WM_LBUTTONDBLCLK));
    EXPECT_FALSE(tray.OnTrayNotification(0, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(tray.OnTrayNotification(7, WM_MOUSEMOVE));
    EXPECT_EQ(0, owner.commands);
    EXPECT_TRUE(tray.OnTrayNotification(7, WM_LBUTTONDBLCLK));
    EXPECT_EQ(1, owner.commands);
}

}  // namespace
