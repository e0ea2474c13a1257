// Drives the windows of a running program from the Windows side, by window
// title and control id, with no screen coordinates: the UI tests run it under
// Wine next to mirelink.exe. Commands (several may be joined by ";"):
//   windows                          the visible top-level windows
//   wait TITLE SECONDS visible|hidden|gone
//   texts TITLE                      one line per child: id, class, enabled,
//                                    visible, checked, text
//   set TITLE ID TEXT                replace a control's text
//   check TITLE ID 0|1               set a check box and tell its dialog, as a click does
//   command TITLE ID                 post WM_COMMAND for a button or menu command
//   close TITLE [CODE]               post WM_CLOSE with CODE as lParam
//   closebox TITLE                   post the close box's WM_SYSCOMMAND
//   post TITLE MESSAGE WPARAM LPARAM post a message; MESSAGE may be a registered name
//   tray TITLE ID                    print "present" or "absent" for the tray icon
//   untray TITLE ID                  remove the tray icon, as a dying taskbar would
//   cursor X Y                       move the mouse pointer
//   menu SECONDS                     wait for a popup menu; print its rectangle
//   key CLASS-OR-TITLE VK            post a key press to a window
//   rect TITLE                       print the window's rectangle on the screen
//   folder CSIDL                     print a special folder's path
// Exit code 0 when every command worked, 1 otherwise (with a line on stderr).
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Args = std::vector<std::string>;

struct Failure {
    std::string text;
};

HWND Find(const std::string& title) {
    // A class name in brackets ("[#32768]") finds by class instead.
    if (title.size() > 2 && title.front() == '[' && title.back() == ']')
        return FindWindowA(title.substr(1, title.size() - 2).c_str(), nullptr);
    return FindWindowA(nullptr, title.c_str());
}

HWND Need(const std::string& title) {
    HWND window = Find(title);
    if (window == nullptr) throw Failure{"no window \"" + title + "\""};
    return window;
}

HWND NeedItem(HWND dialog, const std::string& id) {
    HWND item = GetDlgItem(dialog, std::atoi(id.c_str()));
    if (item == nullptr) throw Failure{"no control " + id};
    return item;
}

// By message: GetWindowText does not read the controls of another process.
std::string Text(HWND window) {
    char text[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

// Control texts may hold line breaks: shown as \r and \n.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

UINT MessageNumber(const std::string& name) {
    char* end = nullptr;
    unsigned long number = std::strtoul(name.c_str(), &end, 0);
    if (end != name.c_str() && *end == '\0') return static_cast<UINT>(number);
    return RegisterWindowMessageA(name.c_str());
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageA(window, message, wParam, lParam)) throw Failure{"PostMessage failed"};
}

BOOL CALLBACK ListWindow(HWND window, LPARAM) {
    if (IsWindowVisible(window))
        std::printf("%s\t%s\n", ClassOf(window).c_str(), Escaped(Text(window)).c_str());
    return TRUE;
}

BOOL CALLBACK ListChild(HWND child, LPARAM) {
    LRESULT checked = SendMessageA(child, BM_GETCHECK, 0, 0);
    std::printf("%d\t%s\t%d\t%d\t%d\t%s\n", GetDlgCtrlID(child), ClassOf(child).c_str(),
                IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0,
                checked == BST_CHECKED ? 1 : 0, Escaped(Text(child)).c_str());
    return TRUE;
}

void Wait(const Args& a) {
    const std::string& want = a.at(3);
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration<double>(std::atof(a.at(2).c_str()));
    for (;;) {
        HWND window = Find(a.at(1));
        std::string state = window == nullptr         ? "gone"
                            : IsWindowVisible(window) ? "visible"
                                                      : "hidden";
        if (state == want) return;
        if (std::chrono::steady_clock::now() > deadline)
            throw Failure{"\"" + a.at(1) + "\" is " + state + ", not " + want};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool TrayCall(DWORD action, const Args& a) {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = Need(a.at(1));
    icon.uID = static_cast<UINT>(std::atoi(a.at(2).c_str()));
    return Shell_NotifyIconA(action, &icon) != FALSE;
}

void WaitForMenu(const Args& a) {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration<double>(std::atof(a.at(1).c_str()));
    for (;;) {
        HWND menu = FindWindowA("#32768", nullptr);
        RECT r;
        if (menu != nullptr && IsWindowVisible(menu) && GetWindowRect(menu, &r)) {
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) throw Failure{"no popup menu"};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void Run(const Args& a) {
    const std::string& name = a.at(0);
    if (name == "windows") {
        EnumWindows(ListWindow, 0);
    } else if (name == "wait") {
        Wait(a);
    } else if (name == "texts") {
        EnumChildWindows(Need(a.at(1)), ListChild, 0);
    } else if (name == "set") {
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutA(NeedItem(Need(a.at(1)), a.at(2)), WM_SETTEXT, 0,
                                 reinterpret_cast<LPARAM>(a.at(3).c_str()), SMTO_ABORTIFHUNG, 5000,
                                 &ignored))
            throw Failure{"WM_SETTEXT failed"};
    } else if (name == "check") {
        HWND dialog = Need(a.at(1));
        HWND box = NeedItem(dialog, a.at(2));
        SendMessageA(box, BM_SETCHECK, a.at(3) == "1" ? BST_CHECKED : BST_UNCHECKED, 0);
        Post(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
             reinterpret_cast<LPARAM>(box));
    } else if (name == "command") {
        HWND window = Need(a.at(1));
        int id = std::atoi(a.at(2).c_str());
        Post(window, WM_COMMAND, MAKEWPARAM(id, 0),
             reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    } else if (name == "close") {
        Post(Need(a.at(1)), WM_CLOSE, 0, a.size() > 2 ? std::atoi(a.at(2).c_str()) : 0);
    } else if (name == "closebox") {
        Post(Need(a.at(1)), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (name == "post") {
        Post(Need(a.at(1)), MessageNumber(a.at(2)), std::strtoul(a.at(3).c_str(), nullptr, 0),
             std::strtol(a.at(4).c_str(), nullptr, 0));
    } else if (name == "tray") {
        std::printf("%s\n", TrayCall(NIM_MODIFY, a) ? "present" : "absent");
    } else if (name == "untray") {
        if (!TrayCall(NIM_DELETE, a)) throw Failure{"no such tray icon"};
    } else if (name == "cursor") {
        SetCursorPos(std::atoi(a.at(1).c_str()), std::atoi(a.at(2).c_str()));
    } else if (name == "menu") {
        WaitForMenu(a);
    } else if (name == "key") {
        HWND window = Need(a.at(1));
        WPARAM key = std::strtoul(a.at(2).c_str(), nullptr, 0);
        Post(window, WM_KEYDOWN, key, 1);
        Post(window, WM_KEYUP, key, 0xC0000001);
    } else if (name == "rect") {
        RECT r;
        GetWindowRect(Need(a.at(1)), &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    } else if (name == "folder") {
        char path[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathA(nullptr, std::atoi(a.at(1).c_str()) | CSIDL_FLAG_CREATE,
                                    nullptr, 0, path)))
            throw Failure{"no such folder"};
        std::printf("%s\n", path);
    } else {
        throw Failure{"unknown command " + name};
    }
}

}  // namespace

// Not 1: Wine itself ends with 1 when a start fails before the driver ran,
// and the test tells the two apart to know whether a command may be repeated.
constexpr int kDriverFailed = 2;

int main(int argc, char** argv) {
    std::vector<Args> commands(1);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == ";") {
            commands.emplace_back();
        } else {
            commands.back().push_back(argv[i]);
        }
    }
    for (const Args& command : commands) {
        try {
            if (command.empty()) throw Failure{"empty command"};
            Run(command);
        } catch (const Failure& failure) {
            std::fprintf(stderr, "ui_driver: %s\n", failure.text.c_str());
            return kDriverFailed;
        } catch (const std::out_of_range&) {
            std::fprintf(stderr, "ui_driver: %s needs more arguments\n", command[0].c_str());
            return kDriverFailed;
        }
    }
    std::fflush(stdout);
    return 0;
}
