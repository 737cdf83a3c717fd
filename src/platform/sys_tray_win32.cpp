#include "platform/sys_tray_win32.h"

#include <commctrl.h>

#include <cstring>

#include "common/text_win32.h"

namespace sv::win32 {
namespace {

static_assert(NOTIFYICONDATAA_V2_SIZE == kTrayRecordSize);

constexpr wchar_t kWindowClass[] = L"StenvaultTrayWindow";
constexpr UINT_PTR kRetryTimerId = 1;

HINSTANCE ModuleInstance() {
    return ::GetModuleHandleW(nullptr);
}

void RegisterWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kWindowClass;
    // A second registration in the same process fails harmlessly.
    ::RegisterClassExW(&wc);
}

// ANSI text into a fixed field: at most capacity - 1 bytes, NUL-terminated, rest zero.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& utf8) {
    std::string ansi = ToAnsi(utf8);
    std::size_t n = ansi.size() < N - 1 ? ansi.size() : N - 1;
    std::memcpy(field, ansi.data(), n);
    field[n] = '\0';
}

// From the common controls that the activation context names (version 6 has it), looked up at
// run time so that a program without that manifest still starts.
HICON LoadIconMetricFromComctl(HINSTANCE module, int resourceId) {
    HMODULE loaded = nullptr;
    HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    if (!comctl) {
        comctl = loaded = ::LoadLibraryW(L"comctl32.dll");
    }
    if (!comctl) {
        return nullptr;
    }
    using LoadIconMetricFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    auto load = reinterpret_cast<LoadIconMetricFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(comctl, "LoadIconMetric")));
    HICON icon = nullptr;
    if (load && FAILED(load(module, MAKEINTRESOURCEW(resourceId), LIM_SMALL, &icon))) {
        icon = nullptr;
    }
    // The icon does not depend on the library once loaded.
    if (loaded) {
        ::FreeLibrary(loaded);
    }
    return icon;
}

}  // namespace

UniqueIcon LoadTrayIcon(HINSTANCE module, int resourceId, int dpi) {
    if (dpi == static_cast<int>(::GetDpiForSystem())) {
        if (HICON icon = LoadIconMetricFromComctl(module, resourceId)) {
            return UniqueIcon(icon);
        }
    }
    // LoadImage takes the resource's image of exactly this size when there is one.
    const int size = ::GetSystemMetricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi));
    return UniqueIcon(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(resourceId),
                                                      IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

NOTIFYICONDATAA ToNotifyIconData(HWND window, const TrayIconRecord& record) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = record.cbSize;
    data.hWnd = window;
    data.uID = record.uID;
    data.uFlags = record.uFlags;
    data.uCallbackMessage = record.uCallbackMessage;
    data.hIcon = reinterpret_cast<HICON>(record.icon);
    CopyField(data.szTip, record.tip);
    CopyField(data.szInfo, record.info);
    CopyField(data.szInfoTitle, record.infoTitle);
    data.uTimeout = record.timeout;
    data.dwInfoFlags = record.infoFlags;
    return data;
}

Win32TrayShell::Win32TrayShell() : taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")) {}

// Made when first needed: a program's main window is shown before its icon enters the tray,
// and this window is not needed for that.
HWND Win32TrayShell::Window() {
    if (!window_) {
        RegisterWindowClass();
        // A hidden top-level window: message-only windows miss the TaskbarCreated broadcast.
        window_.reset(::CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, ModuleInstance(), nullptr));
        // An elevated copy would not hear Explorer's restart otherwise (UIPI).
        if (window_ && taskbarCreated_ != 0) {
            ::ChangeWindowMessageFilterEx(window_.get(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
        }
    }
    return window_.get();
}

Win32TrayShell::~Win32TrayShell() {
    StopRetryTimer();
    UnhookWindow();
}

int Win32TrayShell::CurrentDpi() const {
    // Before the window exists, the primary monitor's, where the taskbar is.
    UINT dpi = window_ ? ::GetDpiForWindow(window_.get()) : ::GetDpiForSystem();
    return dpi > 0 ? static_cast<int>(dpi) : 96;
}

void Win32TrayShell::UseIconResource(HINSTANCE module, int resourceId) {
    iconModule_ = module;
    iconResource_ = resourceId;
    icon_.reset();
    iconDpi_ = 0;
    // Out of the tray it is loaded when the instance enters it (HookWindow), after start-up
    // has shown the window.
    if (instance_) {
        RefreshIcon(CurrentDpi());
    }
}

void Win32TrayShell::RefreshIcon(int dpi) {
    if (iconResource_ == 0) {
        return;
    }
    // The old picture stays alive until the instance has been given the new one.
    UniqueIcon old;
    if (!icon_ || dpi != iconDpi_) {
        UniqueIcon fresh = LoadTrayIcon(iconModule_, iconResource_, dpi);
        if (!fresh) {
            return;
        }
        old = std::move(icon_);
        icon_ = std::move(fresh);
        iconDpi_ = dpi;
    }
    const auto handle = reinterpret_cast<std::uintptr_t>(icon_.get());
    if (instance_ && (!instance_->TrayIcon() || instance_->TrayIcon()->handle != handle)) {
        instance_->SetTrayIcon(TrayPicture{handle, kPictureTypeIcon});
    }
}

bool Win32TrayShell::Notify(std::uint32_t operation, const TrayIconRecord& record) {
    NOTIFYICONDATAA data = ToNotifyIconData(Window(), record);
    return ::Shell_NotifyIconA(operation, &data) != FALSE;
}

void Win32TrayShell::HookWindow(cSysTray& instance) {
    instance_ = &instance;
    if (!Window() || previous_) {
        return;
    }
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProcedure)));
    // Out of the tray the window heard no DPI change: the picture may be stale.
    RefreshIcon(CurrentDpi());
}

void Win32TrayShell::UnhookWindow() {
    if (window_ && previous_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
    previous_ = nullptr;
    instance_ = nullptr;
}

void Win32TrayShell::StartRetryTimer(std::int64_t periodMs) {
    if (Window()) {
        const UINT period =
            periodMs < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : static_cast<UINT>(periodMs);
        timerRunning_ = ::SetTimer(window_.get(), kRetryTimerId, period, nullptr) != 0;
    }
}

void Win32TrayShell::StopRetryTimer() {
    if (window_ && timerRunning_) {
        ::KillTimer(window_.get(), kRetryTimerId);
    }
    timerRunning_ = false;
}

bool Win32TrayShell::PumpEvents(std::int64_t timeoutMs) {
    DWORD wait = timeoutMs <= 0          ? 0
                 : timeoutMs >= INFINITE ? INFINITE - 1
                                         : static_cast<DWORD>(timeoutMs);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
            if (root && root != window_.get() && ::IsDialogMessageW(root, &msg)) {
                continue;
            }
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

std::int64_t Win32TrayShell::MonotonicMilliseconds() {
    return static_cast<std::int64_t>(::GetTickCount64());
}

LRESULT CALLBACK TrayWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* shell = reinterpret_cast<Win32TrayShell*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!shell || !shell->previous_) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // A handler may unhook (InTray := false) before the message goes on.
    WNDPROC previous = shell->previous_;
    if (shell->instance_) {
        if (message == kTrayCallbackMessage) {
            shell->instance_->RaiseTrayEvent(static_cast<std::int32_t>(lParam),
                                             static_cast<std::int32_t>(wParam));
        } else if (shell->taskbarCreated_ != 0 && message == shell->taskbarCreated_) {
            shell->RefreshIcon(shell->CurrentDpi());
            if (shell->instance_) {
                shell->instance_->ShellRestarted();
            }
        } else if (message == WM_TIMER && wParam == kRetryTimerId) {
            shell->instance_->RetryAdd();
        } else if (message == WM_DPICHANGED) {
            shell->RefreshIcon(HIWORD(wParam));
        } else if (message == WM_DISPLAYCHANGE) {
            shell->RefreshIcon(shell->CurrentDpi());
        }
    }
    return ::CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace sv::win32
