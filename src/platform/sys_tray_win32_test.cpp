#include "platform/sys_tray_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sv::win32 {
namespace {

// The real shell, with each call and its result noted.
struct RecordingShell : Win32TrayShell {
    struct Call {
        std::uint32_t operation;
        std::uint32_t flags;
        bool ok;
    };
    std::vector<Call> calls;
    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override {
        bool ok = Win32TrayShell::Notify(operation, record);
        calls.push_back({operation, record.uFlags, ok});
        return ok;
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

    EXPECT_EQ(d.cbSize, 504u);
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
    ::SendMessageW(shell.Window(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
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

}  // namespace
}  // namespace sv::win32
