#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "common/handles_win32.h"
#include "platform/sys_tray.h"

namespace sv::win32 {

// The tray component's Windows side. It owns a hidden top-level window of its own (never
// shown, made when first needed) that receives the icon's callback message, Explorer's
// "TaskbarCreated" broadcast and the DPI changes of the primary monitor, where the taskbar is; so
// the host hands in nothing and keeps its own window's user data free.
//
//   Win32TrayShell shell;
//   shell.UseIconResource(instance, IDI_APP);  // the tray picture, at the taskbar's DPI
//   cSysTray tray(shell);                      // the shell must outlive the component
//   tray.Events().MouseUp = ...;
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

    // The hidden window, made at the first call.
    HWND Window();

    // From now on the instance in the tray shows this icon resource, loaded for the taskbar's
    // DPI: it is put on the instance as its TrayIcon when it enters the tray, and loaded
    // again when the DPI changes or the taskbar is re-created.
    void UseIconResource(HINSTANCE module, int resourceId);
    HICON Icon() const { return icon_.get(); }
    int IconDpi() const { return iconDpi_; }

    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override;
    void HookWindow(cSysTray& instance) override;
    void UnhookWindow() override;
    void StartRetryTimer(std::int64_t periodMs) override;
    void StopRetryTimer() override;
    // MsgWaitForMultipleObjectsEx, then dispatches what is pending, keyboard messages through
    // IsDialogMessage of their top-level window as the main loop does (Tab and Enter work in
    // a window restored during a balloon wait). A WM_QUIT is posted again for the main loop
    // and ends the wait.
    bool PumpEvents(std::int64_t timeoutMs) override;
    std::int64_t MonotonicMilliseconds() override;

  private:
    friend LRESULT CALLBACK TrayWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam);

    int CurrentDpi() const;
    // Loads the icon for dpi unless it is loaded already, and puts it on a hooked instance.
    void RefreshIcon(int dpi);

    UniqueWindow window_;
    UINT taskbarCreated_ = 0;
    cSysTray* instance_ = nullptr;
    WNDPROC previous_ = nullptr;
    bool timerRunning_ = false;
    HINSTANCE iconModule_ = nullptr;
    int iconResource_ = 0;
    UniqueIcon icon_;
    int iconDpi_ = 0;
};

// Hooked into the component's window: tray callbacks and the retry timer go to the instance,
// Explorer's restart puts the icon back, a DPI change loads the picture for it, and every
// message then goes on to the previous procedure.
LRESULT CALLBACK TrayWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The icon resource's image for the notification area at dpi: LoadIconMetric's small icon at
// the system DPI, else the small-icon size for dpi. Null when the resource is missing.
UniqueIcon LoadTrayIcon(HINSTANCE module, int resourceId, int dpi);

// The ANSI shell record for the component's window: zero-filled, version-2 size, texts in
// the ANSI code page cut to their fields.
NOTIFYICONDATAA ToNotifyIconData(HWND window, const TrayIconRecord& record);

}  // namespace sv::win32
