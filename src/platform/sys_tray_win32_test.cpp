#include "platform/sys_tray_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/testing/icon_width_win32.h"
#include "resource.h"

namespace sv::win32 {
namespace {

using sv::win32::testing::IconPixelWidth;

// The real shell, with each call, the record as handed to Windows and its result noted.
// refuseAdds adds are refused before they reach Windows, as by a taskbar not there yet.
struct RecordingShell : Win32TrayShell {
    struct Call {
        std::uint32_t operation;
        std::uint32_t flags;
        bool ok;
        DWORD cbSize;
        int iconWidth;  // of the picture sent, 0 without one
    };
    std::vector<Call> calls;
    int refuseAdds = 0;
    std::int64_t clockOffset = 0;
    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override {
        bool ok = false;
        if (operation == nim::kAdd && refuseAdds > 0) {
            --refuseAdds;
        } else {
            ok = Win32TrayShell::Notify(operation, record);
        }
        const NOTIFYICONDATAA sent = ToNotifyIconData(Window(), record);
        calls.push_back({operation, record.uFlags, ok, sent.cbSize,
                         (record.uFlags & nif::kIcon) ? IconPixelWidth(sent.hIcon) : 0});
        return ok;
    }
    std::int64_t MonotonicMilliseconds() override {
        return Win32TrayShell::MonotonicMilliseconds() + clockOffset;
    }
};

TrayPicture AppIcon() {
    return {reinterpret_cast<std::uintptr_t>(::LoadIconW(nullptr, MAKEINTRESOURCEW(32512))),
            kPictureTypeIcon};
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ticks = [](FILETIME f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

TEST(NotifyRecord, ZeroFilledAnsiAndCutToItsFields) {
    TrayIconRecord r;
    r.cbSize = kTrayRecordSize;
    r.uID = 0;
    r.uFlags = nif::kInfo | nif::kTip;
    r.tip = std::string(200, 't');
    r.info = "caf\xC3\xA9";  // UTF-8
    r.infoTitle = std::string(63, 'x');
    r.timeout = 5000;
    HWND window = reinterpret_cast<HWND>(0x1234);
    NOTIFYICONDATAA d = ToNotifyIconData(window, r);

    EXPECT_EQ(d.hWnd, window);
    EXPECT_EQ(d.uFlags, 0x14u);
    EXPECT_EQ(std::string(d.szTip), std::string(127, 't'));
    EXPECT_EQ(std::string(d.szInfo), "caf\xE9");  // the ANSI code page
    EXPECT_EQ(std::string(d.szInfoTitle), std::string(63, 'x'));
    EXPECT_EQ(d.uTimeout, 5000u);
    EXPECT_EQ(d.dwState, 0u);
    EXPECT_EQ(d.dwInfoFlags, 0u);
    EXPECT_TRUE(std::all_of(d.szInfo + 4, d.szInfo + 256, [](char c) { return c == 0; }));
}

class TrayOnWine : public ::testing::Test {
  protected:
    RecordingShell shell;
    cSysTray tray{shell};
    std::vector<std::pair<int, int>> ups;  // button, id

    void SetUp() override {
        ASSERT_NE(shell.Window(), nullptr);
        tray.Events().MouseUp = [this](std::int16_t button, std::int32_t id) {
            ups.emplace_back(button, id);
        };
        tray.SetTrayIcon(AppIcon());
        tray.SetTrayTip("Stenvault");
    }
    void Post(LPARAM code) { ::PostMessageW(shell.Window(), kTrayCallbackMessage, 0, code); }
};

TEST_F(TrayOnWine, AddModifyDeleteSucceed) {
    tray.SetInTray(true);
    tray.SetTrayTip("Stenvault tip");
    tray.SetTrayIcon(AppIcon());
    tray.ShowBalloon("shown", "Stenvault", 0, false);
    tray.SetInTray(false);

    std::vector<std::uint32_t> operations;
    for (const auto& c : shell.calls) {
        operations.push_back(c.operation);
        EXPECT_TRUE(c.ok) << "operation " << c.operation << " flags " << c.flags;
        // The version-2 record of a 64-bit build, whatever the component filled in.
        EXPECT_EQ(c.cbSize, 504u) << "operation " << c.operation;
    }
    EXPECT_EQ(operations, (std::vector<std::uint32_t>{0, 1, 1, 1, 2}));
}

TEST_F(TrayOnWine, HookRoutesCallbacksAndIsRemovedAgain) {
    const LONG_PTR original = ::GetWindowLongPtrW(shell.Window(), GWLP_WNDPROC);
    tray.SetInTray(true);
    EXPECT_EQ(::GetWindowLongPtrW(shell.Window(), GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&TrayWindowProcedure));

    Post(WM_LBUTTONUP);
    Post(WM_MBUTTONUP);
    Post(WM_RBUTTONUP);
    shell.PumpEvents(0);
    EXPECT_EQ(ups, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}}));

    tray.SetInTray(false);
    EXPECT_EQ(::GetWindowLongPtrW(shell.Window(), GWLP_WNDPROC), original);
    EXPECT_EQ(::GetWindowLongPtrW(shell.Window(), GWLP_USERDATA), 0);
    Post(WM_LBUTTONUP);
    shell.PumpEvents(0);
    EXPECT_EQ(ups.size(), 2u);
}

TEST_F(TrayOnWine, ExplorerRestartAddsTheIconAgain) {
    tray.SetInTray(true);
    shell.calls.clear();
    // Sent by hand the icon is still there: the add is refused and the modify finds it.
    ::SendMessageW(shell.Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_FALSE(shell.calls.empty());
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
    EXPECT_TRUE(shell.calls.back().ok);
    EXPECT_FALSE(tray.AddPending());
    tray.SetInTray(false);
}

TEST_F(TrayOnWine, BalloonWaitSleepsAndRunsEvents) {
    tray.SetInTray(true);
    const ULONGLONG start = ::GetTickCount64();
    const double cpu = ThreadCpuSeconds();
    Post(WM_RBUTTONUP);
    tray.ShowBalloon("wait", "Stenvault", 1, false);
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_GE(took, 990u);
    EXPECT_LT(took, 1500u);
    EXPECT_LT(ThreadCpuSeconds() - cpu, 0.3);  // waited, did not spin
    EXPECT_EQ(ups, (std::vector<std::pair<int, int>>{{2, 0}}));
    EXPECT_EQ(shell.calls.back().flags, nif::kInfo);  // the clearing modify
    tray.SetInTray(false);
}

TEST_F(TrayOnWine, BalloonTimeoutNotificationEndsTheWaitEarly) {
    tray.SetInTray(true);
    const std::size_t before = shell.calls.size();
    const ULONGLONG start = ::GetTickCount64();
    Post(0x404);
    tray.ShowBalloon("wait", "Stenvault", 5, false);
    EXPECT_LT(::GetTickCount64() - start, 1000u);
    EXPECT_EQ(shell.calls.size(), before + 1);  // no clearing modify
    EXPECT_FALSE(tray.BalloonShowing());
    tray.SetInTray(false);
}

TEST_F(TrayOnWine, QuitEndsTheWaitAndStaysQueuedForTheMainLoop) {
    tray.SetInTray(true);
    const ULONGLONG start = ::GetTickCount64();
    ::PostQuitMessage(7);
    tray.ShowBalloon("wait", "Stenvault", 5, false);
    EXPECT_LT(::GetTickCount64() - start, 1000u);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    tray.SetInTray(false);
}

TEST(TrayOnWineLifetime, DestroyRemovesIconAndRestoresProcedure) {
    RecordingShell shell;
    const LONG_PTR original = ::GetWindowLongPtrW(shell.Window(), GWLP_WNDPROC);
    {
        cSysTray tray(shell);
        tray.SetTrayIcon(AppIcon());
        tray.SetInTray(true);
    }
    ASSERT_FALSE(shell.calls.empty());
    EXPECT_EQ(shell.calls.back().operation, nim::kDelete);
    EXPECT_TRUE(shell.calls.back().ok);
    EXPECT_EQ(::GetWindowLongPtrW(shell.Window(), GWLP_WNDPROC), original);
}

int TrayWindowsOfThisThread() {
    int count = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM data) {
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (std::wstring_view(name) == L"StenvaultTrayWindow") {
                ++*reinterpret_cast<int*>(data);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// The program shows its window before the icon enters the tray; the tray's window waits.
TEST(TrayOnWineLifetime, MakesItsWindowWhenTheIconFirstEntersTheTray) {
    const int before = TrayWindowsOfThisThread();
    RecordingShell shell;
    shell.UseIconResource(::GetModuleHandleW(nullptr), IDI_STENVAULT);
    cSysTray tray(shell);
    EXPECT_EQ(TrayWindowsOfThisThread(), before);
    tray.SetInTray(true);
    EXPECT_EQ(TrayWindowsOfThisThread(), before + 1);
    ASSERT_FALSE(shell.calls.empty());
    EXPECT_EQ(shell.calls.back().operation, nim::kAdd);
    EXPECT_TRUE(shell.calls.back().ok);
    tray.SetInTray(false);
}

// Pumps until done() or about timeoutMs have passed.
template <typename Done>
bool PumpUntil(Win32TrayShell& shell, Done done, ULONGLONG timeoutMs) {
    const ULONGLONG start = ::GetTickCount64();
    while (!done()) {
        if (::GetTickCount64() - start > timeoutMs) {
            return false;
        }
        shell.PumpEvents(100);
    }
    return true;
}

TEST_F(TrayOnWine, RefusedAddIsTriedAgainOnTheTimer) {
    shell.refuseAdds = 1;
    tray.SetInTray(true);
    ASSERT_TRUE(tray.AddPending());
    ASSERT_TRUE(PumpUntil(
        shell, [&] { return !tray.AddPending(); }, 6000));
    ASSERT_GE(shell.calls.size(), 3u);  // the refused add, the modify that missed, the add
    EXPECT_EQ(shell.calls.back().operation, nim::kAdd);
    EXPECT_TRUE(shell.calls.back().ok);
    shell.calls.clear();
    tray.SetTrayTip("back");
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_TRUE(shell.calls[0].ok);  // the icon is really there
    tray.SetInTray(false);
}

TEST_F(TrayOnWine, TaskbarAfterTheLastTryStillGetsTheIcon) {
    shell.refuseAdds = 1000;
    tray.SetInTray(true);
    shell.clockOffset = kAddRetryLimitMs;  // the first tick is the last one
    ASSERT_TRUE(PumpUntil(
        shell, [&] { return !tray.AddPending(); }, 6000));
    shell.refuseAdds = 0;
    shell.calls.clear();
    ::SendMessageW(shell.Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
    EXPECT_TRUE(shell.calls[0].ok);
    tray.SetInTray(false);
}

// The product's icon resource: one image drawn for each size the shell asks for.
TEST(IconResource, HoldsEverySizeInFullColour) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDI_STENVAULT),
                                  MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    // GRPICONDIR: reserved, type, count; then 14-byte entries: width, height, colours,
    // reserved, planes, bit count, bytes, id.
    WORD count = 0;
    std::memcpy(&count, data + 4, sizeof count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = data + 6 + 14 * i;
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, sizeof bits);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(bits, 32) << "image " << i;
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 256}));
}

struct DpiCase {
    int dpi;
    int width;
};

class TrayIconAtDpi : public ::testing::TestWithParam<DpiCase> {};

TEST_P(TrayIconAtDpi, LoadsTheImageOfItsSize) {
    UniqueIcon icon = LoadTrayIcon(::GetModuleHandleW(nullptr), IDI_STENVAULT, GetParam().dpi);
    EXPECT_EQ(IconPixelWidth(icon.get()), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Tray, TrayIconAtDpi,
                         ::testing::Values(DpiCase{96, 16}, DpiCase{120, 20}, DpiCase{144, 24},
                                           DpiCase{192, 32}));

TEST_F(TrayOnWine, IconFollowsDpiChangesWhileInTheTray) {
    shell.UseIconResource(::GetModuleHandleW(nullptr), IDI_STENVAULT);
    tray.SetInTray(true);
    ASSERT_FALSE(shell.calls.empty());
    const int startWidth = ::GetSystemMetricsForDpi(SM_CXSMICON, ::GetDpiForWindow(shell.Window()));
    EXPECT_EQ(shell.calls.back().operation, nim::kAdd);
    EXPECT_EQ(shell.calls.back().iconWidth, startWidth);

    for (DpiCase c : {DpiCase{120, 20}, DpiCase{192, 32}, DpiCase{144, 24}, DpiCase{96, 16}}) {
        shell.calls.clear();
        RECT suggested{0, 0, 100, 100};
        ::SendMessageW(shell.Window(), WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi),
                       reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(shell.calls.size(), 1u) << c.dpi;
        EXPECT_EQ(shell.calls[0].operation, nim::kModify);
        EXPECT_EQ(shell.calls[0].flags, nif::kIcon);
        EXPECT_TRUE(shell.calls[0].ok);
        EXPECT_EQ(shell.calls[0].iconWidth, c.width) << c.dpi;
        EXPECT_EQ(tray.TrayIcon()->handle, reinterpret_cast<std::uintptr_t>(shell.Icon()));
    }

    // A taskbar that comes back gets the picture for the DPI of its monitor.
    RECT suggested{0, 0, 100, 100};
    ::SendMessageW(shell.Window(), WM_DPICHANGED, MAKEWPARAM(192, 192),
                   reinterpret_cast<LPARAM>(&suggested));
    shell.calls.clear();
    ::SendMessageW(shell.Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    auto add = std::find_if(shell.calls.begin(), shell.calls.end(),
                            [](const auto& c) { return c.operation == nim::kAdd; });
    ASSERT_NE(add, shell.calls.end());
    EXPECT_EQ(add->iconWidth, startWidth);
    tray.SetInTray(false);
}

// A window with two buttons, restored during the balloon wait: Tab moves the focus and Enter
// presses the focused button, as in the main loop.
class KeyboardWindow {
  public:
    KeyboardWindow() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &KeyboardWindow::Procedure;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TrayKeyboardTest";
        ::RegisterClassExW(&wc);
        window_.reset(::CreateWindowExW(0, wc.lpszClassName, L"keys",
                                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                        nullptr, wc.hInstance, nullptr));
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        first = Button(L"One", 101, 10);
        second = Button(L"Two", 102, 50);
        ::SetForegroundWindow(window_.get());
        ::SetFocus(first);
    }
    HWND first = nullptr;
    HWND second = nullptr;
    std::vector<int> commands;

  private:
    HWND Button(const wchar_t* text, int id, int top) {
        return ::CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, top,
                                 80, 30, window_.get(), reinterpret_cast<HMENU>(INT_PTR{id}),
                                 ::GetModuleHandleW(nullptr), nullptr);
    }
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<KeyboardWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_COMMAND) {
            self->commands.push_back(LOWORD(wParam));
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    UniqueWindow window_;
};

TEST_F(TrayOnWine, TabAndEnterWorkDuringTheBalloonWait) {
    KeyboardWindow keys;
    ASSERT_EQ(::GetFocus(), keys.first);
    tray.SetInTray(true);
    ::PostMessageW(keys.first, WM_KEYDOWN, VK_TAB, 0);
    ::PostMessageW(keys.first, WM_KEYUP, VK_TAB, 0);
    ::PostMessageW(keys.second, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(keys.second, WM_KEYUP, VK_RETURN, 0);
    Post(0x404);  // the balloon goes: the wait ends after the keys
    tray.ShowBalloon("wait", "Stenvault", 5, false);
    EXPECT_EQ(::GetFocus(), keys.second);
    EXPECT_EQ(keys.commands, std::vector<int>{102});
    tray.SetInTray(false);
}

}  // namespace
}  // namespace sv::win32
