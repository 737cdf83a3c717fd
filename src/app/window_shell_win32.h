#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "app/form_view.h"
#include "app/surface_colours.h"
#include "app/window_layout.h"
#include "common/handles_win32.h"

namespace sv::win32 {

// The window class of the main window; tests find the window by it and its caption.
inline constexpr wchar_t kMainWindowClass[] = L"StenvaultForm1";
// Control identifiers follow the Control enum: the first control has kFirstControlId.
inline constexpr int kFirstControlId = 100;

constexpr int ControlId(Control control) {
    return kFirstControlId + static_cast<int>(IndexOf(control));
}

// The control with that identifier, if any.
std::optional<Control> ControlOfId(int id);

// What the shell passes on to the window's owner.
class WindowEvents {
  public:
    // A message the shell leaves to the owner; nullopt for the default handling.
    virtual std::optional<LRESULT> OnEvent(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The controls have been placed again for a new DPI.
    virtual void OnRescaled(int dpi) = 0;

  protected:
    ~WindowEvents() = default;
};

// The main window's frame: its class and creation, the controls at their places for the
// DPI, their font, the window's icons and colours, and the message loop. What the controls
// mean is the owner's business.
class WindowShell {
  public:
    explicit WindowShell(HINSTANCE instance);
    ~WindowShell();
    WindowShell(const WindowShell&) = delete;
    WindowShell& operator=(const WindowShell&) = delete;

    // Events reach the owner from now on; none before, while the owner is being built.
    void SetEvents(WindowEvents* events) { events_ = events; }

    HWND Window() const { return window_.get(); }
    HWND Control(sv::Control control) const { return controls_[IndexOf(control)]; }
    // The control a window belongs to (a control's inner window, such as the list's header,
    // counts as the control); none for the main window itself and for strangers.
    std::optional<sv::Control> ControlOf(HWND window) const;
    // Takes a control the owner made (the copy buffer) into the layout.
    void Adopt(sv::Control control, HWND window);
    int Dpi() const { return dpi_; }

    // The application's icons for the window's DPI.
    void ApplyIcons();
    // The picture the tray shows: 16 x 16 whatever the DPI.
    HICON TrayIcon() const { return trayIcon_.get(); }

    // The button face instead of white, as a skin asks.
    void SetSkinned(bool skinned);
    const SurfaceColours& Colours() const { return colours_; }
    HBRUSH BackgroundBrush() const { return static_cast<HBRUSH>(background_.get()); }
    // Redraws the window and its controls at once.
    void Repaint();

    int RunMessageLoop();
    void PumpEvents();
    // The window and its controls go; no further events.
    void Destroy();

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(MSG& message);
    void CreateControls();
    void Layout();
    void LoadIcons();
    void UpdateFont();
    void UpdateColours();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnActivate(bool active);
    LRESULT DefaultButton() const;

    HINSTANCE instance_;
    WindowEvents* events_ = nullptr;
    UniqueWindow window_;
    std::array<HWND, kControlCount> controls_{};
    int dpi_ = 96;
    UniqueGdiObject font_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueIcon trayIcon_;
    bool skinned_ = false;
    SurfaceColours colours_{kWhite, 0};
    UniqueGdiObject background_;
    HWND lastFocus_ = nullptr;
};

}  // namespace sv::win32
