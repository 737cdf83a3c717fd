#include "app/window_shell_win32.h"

#include <commctrl.h>

#include <string>

#include "app/res/resource.h"
#include "common/failure.h"
#include "common/text_win32.h"

namespace sv::win32 {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

struct WindowKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowKind KindOf(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            return {WC_BUTTONW, BS_PUSHBUTTON, 0};
        case ControlKind::Frame:
            // Below the controls it encloses, so it must not paint over them.
            return {WC_BUTTONW, BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, 0, 0};
        case ControlKind::OptionButton:
            return {WC_BUTTONW, BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {WC_BUTTONW, BS_AUTOCHECKBOX, 0};
        case ControlKind::TextBox:
            return {WC_EDITW, ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
        case ControlKind::List:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                    WS_EX_CLIENTEDGE};
        case ControlKind::CopyBuffer:
            break;
    }
    return {WC_STATICW, 0, 0};
}

void Place(HWND control, const ControlSpec& layout, int dpi) {
    PixelRect px = ToPixels(ClientTwips(layout), dpi);
    ::SetWindowPos(control, nullptr, px.left, px.top, px.width, px.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

bool HighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace

std::optional<Control> ControlOfId(int id) {
    int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(kControlCount)) {
        return std::nullopt;
    }
    return kFormControls[static_cast<std::size_t>(index)].id;
}

WindowShell::WindowShell(HINSTANCE instance) : instance_(instance) {
    dpi_ = static_cast<int>(::GetDpiForSystem());
    LoadIcons();
    UpdateColours();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowShell::Procedure;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_.get();
    wc.hIconSm = smallIcon_.get();
    wc.lpszClassName = kMainWindowClass;
    ::RegisterClassExW(&wc);

    // The caption comes with start-up, so a copy that ends at once leaves no titled window.
    HWND window =
        ::CreateWindowExW(kWindowExStyle, kMainWindowClass, L"", kWindowStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, this);
    if (!window) {
        throw Failure(SystemMessage(::GetLastError()));
    }
    int dpi = static_cast<int>(::GetDpiForWindow(window));
    if (dpi > 0 && dpi != dpi_) {
        dpi_ = dpi;
        LoadIcons();
    }

    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi_),
               TwipsToPixels(kClientHeightTwips, dpi_)};
    ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = work.left + ((work.right - work.left) - width) / 2;
    int top = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(window, nullptr, left, top > work.top ? top : work.top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);

    UpdateFont();
    CreateControls();
}

WindowShell::~WindowShell() {
    Destroy();
}

void WindowShell::Destroy() {
    events_ = nullptr;
    window_.reset();
    controls_.fill(nullptr);
}

void WindowShell::LoadIcons() {
    // At the system's DPI the shell's own sizes; elsewhere (another monitor) the sizes for the
    // window's DPI. Either way the resource's image of that size, not a scaled one.
    bool systemDpi = dpi_ == static_cast<int>(::GetDpiForSystem());
    auto load = [this, systemDpi](int metric, int lim) {
        HICON icon = nullptr;
        if (systemDpi &&
            SUCCEEDED(::LoadIconMetric(instance_, MAKEINTRESOURCEW(IDI_STENVAULT), lim, &icon))) {
            return icon;
        }
        int size = ::GetSystemMetricsForDpi(metric, static_cast<UINT>(dpi_));
        return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_STENVAULT),
                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    bigIcon_.reset(load(SM_CXICON, LIM_LARGE));
    smallIcon_.reset(load(SM_CXSMICON, LIM_SMALL));
    if (!trayIcon_) {
        trayIcon_.reset(static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_STENVAULT),
                                                        IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    }
}

void WindowShell::ApplyIcons() {
    HWND window = window_.get();
    if (!window) {
        return;
    }
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void WindowShell::UpdateFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                      static_cast<UINT>(dpi_))) {
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        metrics.lfMessageFont.lfHeight =
            ::MulDiv(metrics.lfMessageFont.lfHeight, dpi_, static_cast<int>(::GetDpiForSystem()));
    }
    font_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
}

void WindowShell::UpdateColours() {
    SystemColours system{::GetSysColor(COLOR_WINDOWTEXT), ::GetSysColor(COLOR_BTNFACE),
                         ::GetSysColor(COLOR_BTNTEXT)};
    SurfaceColours chosen = ChooseSurfaceColours(HighContrast(), skinned_, system);
    if (background_ && chosen == colours_) {
        return;
    }
    colours_ = chosen;
    background_.reset(::CreateSolidBrush(colours_.background));
}

void WindowShell::SetSkinned(bool skinned) {
    skinned_ = skinned;
    UpdateColours();
}

void WindowShell::Repaint() {
    if (window_) {
        ::RedrawWindow(window_.get(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    }
}

void WindowShell::CreateControls() {
    HWND parent = window_.get();
    for (const ControlSpec& layout : kFormControls) {
        if (layout.kind == ControlKind::CopyBuffer) {
            continue;
        }
        PixelRect px = ToPixels(ClientTwips(layout), dpi_);
        WindowKind kind = KindOf(layout.kind);
        DWORD style = WS_CHILD | WS_VISIBLE | kind.style;
        if (StartsGroup(layout)) {
            style |= WS_GROUP;
        }
        if (TakesTabStop(layout)) {
            style |= WS_TABSTOP;
        }
        HWND control =
            ::CreateWindowExW(kind.exStyle, kind.className, Widen(layout.caption).c_str(), style,
                              px.left, px.top, px.width, px.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout.id))),
                              instance_, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        controls_[IndexOf(layout.id)] = control;
    }
}

void WindowShell::Adopt(sv::Control control, HWND window) {
    controls_[IndexOf(control)] = window;
    ::SetWindowLongPtrW(window, GWLP_ID, ControlId(control));
    Place(window, LayoutOf(control), dpi_);
}

void WindowShell::Layout() {
    for (const ControlSpec& layout : kFormControls) {
        HWND control = controls_[IndexOf(layout.id)];
        Place(control, layout, dpi_);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
}

std::optional<sv::Control> WindowShell::ControlOf(HWND window) const {
    if (!window || window == window_.get()) {
        return std::nullopt;
    }
    for (const ControlSpec& layout : kFormControls) {
        if (controls_[IndexOf(layout.id)] == window) {
            return layout.id;
        }
    }
    HWND parent = ::GetParent(window);
    if (parent && parent != window_.get() && parent != window) {
        return ControlOf(parent);
    }
    return std::nullopt;
}

bool WindowShell::Dispatch(MSG& message) {
    if (message.message == WM_QUIT) {
        return false;
    }
    // The dialog manager acts on keys alone (Tab, arrows, Enter, Esc, mnemonics).
    const bool key = message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST;
    if (!key || !window_ || !::IsDialogMessageW(window_.get(), &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

int WindowShell::RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Dispatch(message);
        // Gone inside a run whose modal loops may have taken the quit message for their own.
        if (!window_) {
            return 0;
        }
    }
    return static_cast<int>(message.wParam);
}

void WindowShell::PumpEvents() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!Dispatch(message)) {
            // Leave it for the main loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
    }
}

LRESULT CALLBACK WindowShell::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowShell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<WindowShell*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->window_.get() == window) {
            self->window_.release();
        }
        self->controls_.fill(nullptr);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT WindowShell::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(window, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush());
            return 1;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            auto dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, colours_.background);
            ::SetTextColor(dc, colours_.text);
            return reinterpret_cast<LRESULT>(BackgroundBrush());
        }
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_SYSCOLORCHANGE:
            UpdateColours();
            // Common controls learn of the change only from their parent.
            for (HWND control : controls_) {
                if (control) {
                    ::SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
                }
            }
            Repaint();
            return 0;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETNONCLIENTMETRICS) {
                // The user picked another message font; the controls hold the old one until
                // Layout hands them the new.
                UniqueGdiObject oldFont = std::move(font_);
                UpdateFont();
                Layout();
            } else if (wParam == SPI_SETHIGHCONTRAST) {
                UpdateColours();
                Repaint();
            }
            break;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case DM_GETDEFID:
            return DefaultButton();
        default:
            break;
    }
    if (events_) {
        if (std::optional<LRESULT> result = events_->OnEvent(message, wParam, lParam)) {
            return *result;
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void WindowShell::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi > 0 ? dpi : 96;
    HWND window = window_.get();
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    UniqueGdiObject oldFont = std::move(font_);
    UpdateFont();
    Layout();
    // The class and the window keep the old icons until they are given the new ones.
    UniqueIcon oldBig = std::move(bigIcon_);
    UniqueIcon oldSmall = std::move(smallIcon_);
    LoadIcons();
    ::SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(bigIcon_.get()));
    ::SetClassLongPtrW(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(smallIcon_.get()));
    ApplyIcons();
    if (events_) {
        events_->OnRescaled(dpi_);
    }
    ::InvalidateRect(window, nullptr, TRUE);
}

void WindowShell::OnActivate(bool active) {
    HWND window = window_.get();
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(window, focus)) {
            lastFocus_ = focus;
        }
        return;
    }
    HWND target = lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_)
                      ? lastFocus_
                      : ::GetNextDlgTabItem(window, nullptr, FALSE);
    if (target) {
        ::SetFocus(target);
    }
}

LRESULT WindowShell::DefaultButton() const {
    // Enter presses the focused push button.
    std::optional<sv::Control> focus = ControlOf(::GetFocus());
    if (focus && LayoutOf(*focus).kind == ControlKind::PushButton) {
        return MAKELRESULT(ControlId(*focus), DC_HASDEFID);
    }
    return 0;
}

}  // namespace sv::win32
