#include "ui/sys_tray.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/exception.h"
#include "core/thread_handlers.h"
#include "text/str_util.h"
#include "ui/ui_state.h"

namespace vxg {
namespace {

using vx::StrUtil::IntToStr;
using vx::StrUtil::UIntToStr;

constexpr UINT kIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

void CopyCut(char* target, size_t capacity, const vx::Str& text, size_t most) {
    size_t count = std::min({text.size(), most, capacity - 1});
    std::memcpy(target, text.data(), count);
    target[count] = '\0';
}

}  // namespace

struct SysTray::AnimationStart {
    SysTray* tray;
    uint32_t run;
};

SysTray::SysTray() : balloons(ShellHasBalloons()) {
    record.cbSize = balloons ? NOTIFYICONDATAA_V3_SIZE : NOTIFYICONDATAA_V1_SIZE;
}

SysTray::~SysTray() {
    try {
        StopAnimation();
    } catch (...) {
    }
    std::lock_guard<std::mutex> guard(lock);
    if (record.uID != 0) Shell_NotifyIconA(NIM_DELETE, &record);
}

bool SysTray::ShellHasBalloons() {
    HMODULE shell = LoadLibraryA("shell32.dll");
    if (shell == nullptr) return false;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(shell, "DllGetVersion")));
    DLLVERSIONINFO version = {};
    version.cbSize = sizeof(version);
    bool supported =
        getVersion != nullptr && SUCCEEDED(getVersion(&version)) && version.dwMajorVersion > 4;
    FreeLibrary(shell);
    return supported;
}

HICON SysTray::LoadFrame(int resourceId) const {
    return static_cast<HICON>(
        LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16, LR_SHARED));
}

void SysTray::Create(UINT iconId, UINT callbackMessage, HWND owner, const vx::Str& tip,
                     int iconResource, int menuResource, UINT defaultCommand) {
    std::lock_guard<std::mutex> guard(lock);
    record.hWnd = owner;
    record.uFlags = kIconFlags;
    record.uCallbackMessage = callbackMessage;
    record.hIcon = LoadFrame(iconResource);
    if (record.hIcon == nullptr) {
        throw vx::Exception("vxg::SysTray::Create::LoadImage - Error loading icon resource - " +
                            IntToStr(iconResource) + " - " + UIntToStr(GetLastError()));
    }
    CopyCut(record.szTip, sizeof(record.szTip), tip, 127);
    menu.Create(menuResource);
    popup = menu.GetSubmenu();
    popup.SetDefaultItemId(defaultCommand);
    record.uID = iconId;
    Shell_NotifyIconA(NIM_ADD, &record);
}

void SysTray::SetIcon(HICON icon) {
    std::lock_guard<std::mutex> guard(lock);
    if (record.uID == 0) throw vx::Exception("vxg::SysTray::SetIcon(uni,icon) - VX_NOUNI");
    record.hIcon = icon;
    record.uFlags = NIF_ICON;
    if (!Shell_NotifyIconA(NIM_MODIFY, &record)) {
        throw vx::Exception(
            "vxg::SysTray::SetIcon(icon)::Shell_NotifyIcon - Error setting icon - " +
            IntToStr(static_cast<int32_t>(reinterpret_cast<intptr_t>(icon))) + " - " +
            UIntToStr(GetLastError()));
    }
}

void SysTray::SetIconList(int first, int last) {
    if (last < first) {
        throw vx::Exception("vxg::SysTray::SetIconList::ids - Invalid ID range specified - " +
                            IntToStr(first) + " - " + IntToStr(last));
    }
    // The animation thread needs the lock for every frame: stop it, if it
    // runs, without holding the lock.
    bool wasRunning = running.load();
    if (wasRunning) StopAnimation();
    {
        std::lock_guard<std::mutex> guard(lock);
        firstIcon.exchange(first);
        lastIcon.exchange(last);
    }
    if (wasRunning) StartAnimation(interval.load());
}

void SysTray::StartAnimation(uint32_t intervalMs) {
    std::lock_guard<std::mutex> guard(lock);
    if (running.load()) return;
    interval.exchange(intervalMs);
    running.exchange(true);
    uint32_t run = currentRun.fetch_add(1) + 1;
    auto* start = new AnimationStart{this, run};
    try {
        thread = vxw::CreateThread(AnimationThread, start);
    } catch (...) {
        delete start;
        running.exchange(false);
        throw;
    }
}

void SysTray::StopAnimation() {
    vxw::ThreadHandle stopping;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!running.load()) return;
        running.exchange(false);
        currentRun.fetch_add(1);
        stopping = std::move(thread);
    }
    if (stopping) vxw::WaitAndFreeThreadHandle(stopping);
}

bool SysTray::StillRunning(uint32_t run) const {
    return running.load() && currentRun.load() == run;
}

uint32_t SysTray::AnimationThread(void* argument) {
    vxw::InstallThreadHandlers();
    std::unique_ptr<AnimationStart> start(static_cast<AnimationStart*>(argument));
    try {
        start->tray->Animate(start->run);
    } catch (...) {
    }
    return 0;
}

// Starts at the first frame; a stop leaves the frame shown last.
void SysTray::Animate(uint32_t run) {
    std::vector<HICON> frames;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (int id = firstIcon.load(); id <= lastIcon.load(); ++id)
            frames.push_back(LoadFrame(id));
    }
    for (size_t frame = 0; StillRunning(run) && !frames.empty();
         frame = (frame + 1) % frames.size()) {
        SetIcon(frames[frame]);
        if (!StillRunning(run)) break;
        vxw::Sleep(interval.load());
    }
}

void SysTray::ShowBalloon(DWORD iconFlags, const vx::Str& text, const vx::Str& title,
                          uint32_t seconds) {
    std::lock_guard<std::mutex> guard(lock);
    if (!balloons) return;
    record.uFlags = NIF_INFO;
    record.uTimeout = seconds * 1000;
    record.dwInfoFlags = iconFlags;
    CopyCut(record.szInfoTitle, sizeof(record.szInfoTitle), title, 63);
    CopyCut(record.szInfo, sizeof(record.szInfo), text, 255);
    if (!Shell_NotifyIconA(NIM_MODIFY, &record)) {
        throw vx::Exception(
            "vxg::SysTray::ShowBalloon::Shell_NotifyIcon - Error showing balloon - " + title +
            " - " + text + " - " + UIntToStr(iconFlags) + " - " + UIntToStr(GetLastError()));
    }
}

bool SysTray::OnTrayNotification(WPARAM iconId, LPARAM mouseMessage) {
    if (iconId == 0 || iconId != record.uID) return false;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        SendMessageA(record.hWnd, WM_COMMAND, popup.GetDefaultItemId(), 0);
    } else if (mouseMessage == WM_RBUTTONUP) {
        ShowMenu();
    }
    return true;
}

void SysTray::ShowMenu() {
    SetForegroundWindow(record.hWnd);
    UINT command = popup.TrackPopup();
    if (command != 0) {
        SendMessageA(record.hWnd, WM_COMMAND, command, 0);
    } else if (balloons) {
        std::lock_guard<std::mutex> guard(lock);
        Shell_NotifyIconA(NIM_SETFOCUS, &record);
    }
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(record.hWnd, WM_NULL, 0, 0);
}

bool SysTray::ReAdd() {
    std::lock_guard<std::mutex> guard(lock);
    if (record.uID == 0) return false;
    // The record's flags hold whatever the last change was (an icon frame, a
    // balloon); a new taskbar needs the icon, the callback and the tip again.
    NOTIFYICONDATAA again = record;
    again.uFlags = kIconFlags;
    Shell_NotifyIconA(NIM_ADD, &again);
    return false;
}

}  // namespace vxg
