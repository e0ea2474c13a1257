#pragma once
// A window made from a dialog template of the program's resources. Its
// messages arrive as calls of the virtual operations below (one dialog
// procedure serves every dialog); an exception thrown by any of them ends in
// ShowError and the program goes on. Everything here runs on the UI thread.
#include <windows.h>

#include <cstdint>

#include "core/str.h"
#include "ui/control.h"

namespace vxg {

class Dialog : public Control {
public:
    explicit Dialog(uint16_t templateId);
    // Ends a modal dialog (result 0) or destroys a modeless window.
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the modeless dialog; returns when OnInitDialog has run.
    void Show(HWND parentWindow);
    // Runs the dialog modally and returns its result.
    INT_PTR ShowModal(HWND parentWindow);
    // Sends WM_CLOSE with the code as lParam; the code becomes the modal result.
    void Close(int32_t code);
    // The same request, posted: for a dialog that must close itself while it
    // is still being created.
    void PostClose(int32_t code);
    // Closing this dialog also ends the message loop (exit code 0).
    void SetQuitOnClose(bool quit) { quitOnClose = quit; }
    // The title-bar and task-switch icons, from an icon resource.
    void SetIcons(int iconResource);

    void ShowWindow(int how) { ::ShowWindow(window, how); }

    // As a tab page: the control that had the focus when the page was left.
    HWND RememberedFocus() const { return rememberedFocus; }
    void RememberFocus(HWND control) { rememberedFocus = control; }

    // The one dialog procedure.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // For the message loop: hands a key message to the key operation of the
    // registered dialog that owns its window; true when that consumed it.
    static bool RouteKey(const MSG& message);

    // A handler of message threw: by default a warning box "Message Error"
    // owned by this dialog.
    virtual void ShowError(UINT message, const vx::Str& text);

protected:
    virtual void OnInitDialog() {}
    virtual bool OnClose(int32_t /*code*/) { return true; }
    virtual void OnDestroy() {}
    virtual void OnCommand(HWND /*control*/, int /*id*/, int /*notification*/) {}
    virtual bool OnContextMenu(int /*x*/, int /*y*/, HWND /*window*/) { return false; }
    virtual void OnInitMenu(HMENU /*menu*/) {}
    virtual void OnActivate(HWND /*other*/) {}
    virtual void OnDeactivate(HWND /*other*/) {}
    virtual bool OnKeyDown(WPARAM /*key*/) { return false; }
    virtual bool OnKeyUp(WPARAM /*key*/) { return false; }
    virtual bool OnSysKeyDown(WPARAM /*key*/) { return false; }
    virtual bool OnSysKeyUp(WPARAM /*key*/) { return false; }
    virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return false; }
    virtual LRESULT OnNotify(int /*controlId*/, NMHDR* /*header*/) { return 0; }
    virtual HBRUSH OnCtlColorStatic(HDC /*dc*/, HWND /*control*/) { return nullptr; }
    virtual void OnTimer(UINT_PTR /*timerId*/) {}
    virtual void OnShowWindow(bool /*shown*/) {}
    virtual void OnSize(int /*width*/, int /*height*/, bool /*minimized*/, bool /*maximized*/) {}
    virtual bool OnSizing(RECT& /*rectangle*/) { return false; }
    virtual void OnWindowPosChanging(WINDOWPOS* /*position*/) {}

private:
    static INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Initialise(HWND window, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleClose(LPARAM code);
    INT_PTR HandleDestroy();
    INT_PTR HandleActivate(WPARAM wParam, LPARAM lParam);
    INT_PTR HandleNotify(WPARAM wParam, LPARAM lParam);
    INT_PTR HandleSizing(LPARAM lParam);
    bool HandleKey(UINT message, WPARAM key);
    void DestroyIcons();

    bool modal = false;
    uint16_t templateId;
    bool quitOnClose = false;
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    HWND rememberedFocus = nullptr;
};

}  // namespace vxg
