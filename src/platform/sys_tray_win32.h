#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "common/handles_win32.h"
#include "platform/sys_tray.h"

namespace sv::win32 {

// The tray component's Windows side. It owns a hidden top-level window of its own (never
// shown) that receives the icon's callback message and Explorer's "TaskbarCreated" broadcast,
// so the host hands in nothing and keeps its own window's user data free.
//
//   Win32TrayShell shell;
//   cSysTray tray(shell);            // the shell must outlive the component
//   tray.Events().MouseUp = ...;
//   tray.SetTrayIcon(TrayPicture{reinterpret_cast<std::uintptr_t>(hicon)});
//   tray.SetInTray(true);
//
// While hooked, the window's GWLP_USERDATA points at this object, which holds the instance and
// the window procedure that was there before the hook.
class Win32TrayShell : public TrayShell {
  public:
    Win32TrayShell();
    ~Win32TrayShell() override;
    Win32TrayShell(const Win32TrayShell&) = delete;
    Win32TrayShell& operator=(const Win32TrayShell&) = delete;

    HWND Window() const { return window_.get(); }

    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override;
    void HookWindow(cSysTray& instance) override;
    void UnhookWindow() override;
    // MsgWaitForMultipleObjectsEx, then dispatches what is pending. A WM_QUIT is posted
    // again for the main loop and ends the wait.
    bool PumpEvents(std::int64_t timeoutMs) override;
    std::int64_t MonotonicMilliseconds() override;

  private:
    friend LRESULT CALLBACK TrayWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam);

    UniqueWindow window_;
    UINT taskbarCreated_ = 0;
    cSysTray* instance_ = nullptr;
    WNDPROC previous_ = nullptr;
};

// Hooked into the component's window: tray callbacks go to the instance, Explorer's restart
// puts the icon back, and every message then goes on to the previous procedure.
LRESULT CALLBACK TrayWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The ANSI shell record for the component's window: zero-filled, version-2 size, texts in
// the ANSI code page cut to their fields.
NOTIFYICONDATAA ToNotifyIconData(HWND window, const TrayIconRecord& record);

}  // namespace sv::win32
