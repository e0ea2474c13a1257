#pragma once
// The program's icon in the taskbar notification area: menu on a right click,
// the default command on a double click, balloons, and an animation through a
// range of icon resources on a thread of its own while mail moves.
// Start/StopAnimation, SetIcon, SetIconList and ShowBalloon may be called from
// any thread; they take the object's lock in turn.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/str.h"
#include "core/thread.h"
#include "ui/menu.h"

namespace vxg {

class SysTray {
public:
    SysTray();
    // Stops the animation and removes the icon.
    ~SysTray();
    SysTray(const SysTray&) = delete;
    SysTray& operator=(const SysTray&) = delete;

    // Adds the icon: its identifier, the callback message sent to owner, the
    // tip, the icon resource, the menu resource whose first popup is the
    // context menu, and that menu's default command.
    void Create(UINT iconId, UINT callbackMessage, HWND owner, const vx::Str& tip, int iconResource,
                int menuResource, UINT defaultCommand);
    void SetIcon(HICON icon);
    // The frames of the animation: icon resources first to last.
    void SetIconList(int first, int last);
    void StartAnimation(uint32_t intervalMs);
    void StopAnimation();
    // iconFlags: NIIF_INFO and the like. Does nothing where the shell has no
    // balloons.
    void ShowBalloon(DWORD iconFlags, const vx::Str& text, const vx::Str& title, uint32_t seconds);
    // The callback message's parameters; true when it was about this icon.
    bool OnTrayNotification(WPARAM iconId, LPARAM mouseMessage);
    // Adds the icon again after the taskbar was re-created; returns false.
    bool ReAdd();

    bool BalloonsSupported() const { return balloons; }

private:
    struct AnimationStart;
    static bool ShellHasBalloons();
    static uint32_t AnimationThread(void* start);
    void Animate(uint32_t run);
    bool StillRunning(uint32_t run) const;
    void ShowMenu();
    HICON LoadFrame(int resourceId) const;

    NOTIFYICONDATAA record = {};
    const bool balloons;
    Menu menu;
    Menu popup;
    std::atomic<int> firstIcon{0};
    std::atomic<int> lastIcon{0};
    std::atomic<uint32_t> interval{0};
    std::atomic<bool> running{false};
    // Each start of the animation is a new run: a thread from an earlier run
    // ends even when the animation was started again before it saw the stop.
    std::atomic<uint32_t> currentRun{0};
    vxw::ThreadHandle thread;
    std::mutex lock;
};

}  // namespace vxg
