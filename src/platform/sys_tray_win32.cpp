#include "platform/sys_tray_win32.h"

#include <cstring>

#include "common/text_win32.h"

namespace sv::win32 {
namespace {

static_assert(NOTIFYICONDATAA_V2_SIZE == kTrayRecordSize);

constexpr wchar_t kWindowClass[] = L"StenvaultTrayWindow";

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

}  // namespace

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

Win32TrayShell::Win32TrayShell() : taskbarCreated_(::RegisterWindowMessageW(L"TaskbarCreated")) {
    RegisterWindowClass();
    // A hidden top-level window: message-only windows miss the TaskbarCreated broadcast.
    window_.reset(::CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    ModuleInstance(), nullptr));
}

Win32TrayShell::~Win32TrayShell() {
    UnhookWindow();
}

bool Win32TrayShell::Notify(std::uint32_t operation, const TrayIconRecord& record) {
    NOTIFYICONDATAA data = ToNotifyIconData(window_.get(), record);
    return ::Shell_NotifyIconA(operation, &data) != FALSE;
}

void Win32TrayShell::HookWindow(cSysTray& instance) {
    instance_ = &instance;
    if (!window_ || previous_) {
        return;
    }
    ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWindowProcedure)));
}

void Win32TrayShell::UnhookWindow() {
    if (window_ && previous_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
    previous_ = nullptr;
    instance_ = nullptr;
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
            shell->instance_->ShellRestarted();
        }
    }
    return ::CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace sv::win32
