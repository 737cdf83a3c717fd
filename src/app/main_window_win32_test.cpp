// The real program under Wine: starts stenvault.exe, drives its window from outside and reads
// what it stored. Needs a display and the drawing application stand-in registered.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <map>
#include <utility>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "app/main_window_win32.h"
#include "app/testing/expected_layout.h"
#include "app/testing/program_win32.h"
#include "app/window_layout.h"
#include "common/handles_win32.h"
#include "common/testing/icon_width_win32.h"
#include "common/system_win32.h"
#include "common/text_win32.h"
#include "settings/memory_settings_store.h"

namespace sv::win32 {
namespace {

using namespace sv::win32::testing;
using sv::testing::kExpectedControls;

std::string KindClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::Frame:
        case ControlKind::OptionButton:
        case ControlKind::CheckBox:
            return "Button";
        case ControlKind::ProgressBar:
            return "msctls_progress32";
        case ControlKind::TextBox:
        case ControlKind::CopyBuffer:
            return "Edit";
        case ControlKind::List:
            return "SysListView32";
    }
    return "";
}

LONG ButtonType(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            return BS_PUSHBUTTON;
        case ControlKind::Frame:
            return BS_GROUPBOX;
        case ControlKind::OptionButton:
            return BS_AUTORADIOBUTTON;
        case ControlKind::CheckBox:
            return BS_AUTOCHECKBOX;
        default:
            return -1;
    }
}

TEST_F(ProgramTest, FreshStartShowsEveryControlAndStoresThreeValues) {
    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));

    LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    int dpi = static_cast<int>(::GetDpiForWindow(window));
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, TwipsToPixels(8025, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(9025, dpi));

    for (const sv::testing::ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(expected.name);
        ControlKind kind = LayoutOf(expected.id).kind;
        HWND control = program.Control(expected.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(Narrow(ClassOf(control)), KindClass(kind));
        if (ButtonType(kind) >= 0) {
            EXPECT_EQ(::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK, ButtonType(kind));
        }
        EXPECT_EQ(::IsWindowVisible(control) != FALSE, kind != ControlKind::CopyBuffer);
        // Captions start-up does not change.
        if (expected.id != Control::PushButton4 && expected.id != Control::Frame2 &&
            expected.id != Control::Text1) {
            EXPECT_EQ(Narrow(TextOf(control)), expected.caption);
        }
        RECT place;
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        PixelRect want = ToPixels(
            {expected.clientLeft, expected.clientTop, expected.width, expected.height}, dpi);
        EXPECT_EQ(place.left, want.left);
        EXPECT_EQ(place.top, want.top);
        EXPECT_EQ(place.right - place.left, want.width);
        EXPECT_EQ(place.bottom - place.top, want.height);
    }

    EXPECT_TRUE(Checked(program.Control(Control::Option1)));
    EXPECT_FALSE(Checked(program.Control(Control::Option2)));
    EXPECT_TRUE(Checked(program.Control(Control::Option3)));
    EXPECT_FALSE(Checked(program.Control(Control::Option4)));
    EXPECT_FALSE(Checked(program.Control(Control::Check5)));
    EXPECT_FALSE(Checked(program.Control(Control::Check8)));
    HWND list = program.Control(Control::ListView1);
    EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 10);
    EXPECT_EQ(SelectedRow(list), 2);
    EXPECT_EQ(TextOf(program.Control(Control::PushButton4)), L"Turn Off Backup Save");
    std::wstring folder = TextOf(program.Control(Control::Text1));
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    // The countdown runs: the first tick shows the five-minute interval less a second.
    EXPECT_TRUE(WaitFor(
        [&] {
            return TextOf(program.Control(Control::Frame2))
                .starts_with(L"On. Next backup save will occur in 00:04:5");
        },
        5s));
    EXPECT_TRUE(TrayShowsAnIcon());

    auto stored = StoredSettings();
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[L"Path"], folder);
    EXPECT_EQ(stored[L"WhereOption"], L"1");
    EXPECT_EQ(stored[L"Backup Option"], L"1");

    ASSERT_TRUE(program.Close());
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_TRUE(WaitFor([] { return !TrayShowsAnIcon(); }, 3s));
    EXPECT_TRUE(program.Dialogs().empty());
}

TEST_F(ProgramTest, StoredChoicesComeBackAfterARestart) {
    {
        Program program;
        ASSERT_NE(program.WaitForWindow(), nullptr);
        ::SendMessageW(program.Control(Control::Option2), BM_CLICK, 0, 0);
        ::SendMessageW(program.Control(Control::Option4), BM_CLICK, 0, 0);
        ::SendMessageW(program.Control(Control::Check8), BM_CLICK, 0, 0);
        ::SendMessageW(program.Control(Control::PushButton4), BM_CLICK, 0, 0);
        HWND list = program.Control(Control::ListView1);
        ClickRow(program, list, 0);
        ASSERT_TRUE(WaitFor([] { return StoredSettings()[L"OftenIndex"] == L"1"; }, 3s));
        // A click on blank space keeps the chosen row rather than leaving no interval.
        ClickRow(program, list, 3, true);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(SelectedRow(list), 0);
        EXPECT_EQ(StoredSettings()[L"OftenIndex"], L"1");

        EXPECT_FALSE(Checked(program.Control(Control::Option1)));
        EXPECT_FALSE(Checked(program.Control(Control::Option3)));
        EXPECT_EQ(TextOf(program.Control(Control::PushButton4)), L"Turn On Backup Save");
        EXPECT_EQ(TextOf(program.Control(Control::Frame2)), L"Auto Save is Off.");
        // Ticking the box does not minimise now.
        EXPECT_TRUE(::IsWindowVisible(program.MainWindow()));
        ASSERT_TRUE(program.Close());
    }
    auto stored = StoredSettings();
    EXPECT_EQ(stored[L"WhereOption"], L"2");
    EXPECT_EQ(stored[L"Backup Option"], L"2");
    EXPECT_EQ(stored[L"StartStopState"], L"Off");
    EXPECT_EQ(stored[L"Minimized"], L"On");

    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    // Start in the tray: shown, then hidden behind the icon.
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(window) && TrayShowsAnIcon(); }, 10s));
    EXPECT_TRUE(Checked(program.Control(Control::Option2)));
    EXPECT_FALSE(Checked(program.Control(Control::Option1)));
    EXPECT_TRUE(Checked(program.Control(Control::Option4)));
    EXPECT_FALSE(Checked(program.Control(Control::Option3)));
    EXPECT_TRUE(Checked(program.Control(Control::Check8)));
    EXPECT_EQ(SelectedRow(program.Control(Control::ListView1)), 0);
    EXPECT_EQ(TextOf(program.Control(Control::PushButton4)), L"Turn On Backup Save");
    EXPECT_EQ(TextOf(program.Control(Control::Frame2)), L"Auto Save is Turned Off.");

    // A release of the right button over the icon brings the window back.
    ::PostMessageW(program.TrayWindow(), kTrayCallback, 0, WM_RBUTTONUP);
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 3s));
    EXPECT_FALSE(::IsIconic(window));
    ASSERT_TRUE(program.Close());
    EXPECT_TRUE(program.Dialogs().empty());
}

TEST_F(ProgramTest, AStoredRowOutsideTheListIsReportedAndStartUpGoesOn) {
    StoreSetting(L"OftenIndex", L"11");
    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !program.Dialogs().empty(); }, 5s));
    auto report = program.Dialogs().front();
    EXPECT_EQ(report.title, L"Application Error");
    EXPECT_NE(report.text.find(L"in Quorvel2021/08/31.Form1.Form_Load at line 172"),
              std::wstring::npos)
        << Narrow(report.text);
    // Start-up went on past the report: the countdown runs and the icon is there.
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) && TrayShowsAnIcon(); }, 5s));
    EXPECT_EQ(TextOf(program.Control(Control::PushButton4)), L"Turn Off Backup Save");
    EXPECT_EQ(SelectedRow(program.Control(Control::ListView1)), -1);
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(program.Dialogs().size(), 1u);
}

TEST_F(ProgramTest, MinimisingHidesIntoTheTrayAndTheIconBringsItBack) {
    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));
    HWND tray = program.TrayWindow();
    ASSERT_NE(tray, nullptr);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5s));
        EXPECT_TRUE(TrayShowsAnIcon());
        // The balloon wait keeps handling events, so the icon works at once.
        ::PostMessageW(tray, kTrayCallback, 0, WM_LBUTTONUP);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));
        EXPECT_FALSE(::IsIconic(window));
    }
    // Moving over or pressing on the icon does not restore.
    ::PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(window); }, 5s));
    ::PostMessageW(tray, kTrayCallback, 0, WM_MOUSEMOVE);
    ::PostMessageW(tray, kTrayCallback, 0, WM_LBUTTONDOWN);
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(::IsWindowVisible(window));

    ASSERT_TRUE(program.Close());
    EXPECT_TRUE(WaitFor([] { return !TrayShowsAnIcon(); }, 3s));
}

TEST_F(ProgramTest, ASecondCopyEndsSilentlyWhileTheFirstRuns) {
    Program first;
    ASSERT_NE(first.WaitForWindow(), nullptr);
    Program second;
    ASSERT_TRUE(second.Exited(10s));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(second.Dialogs().empty());
    int windows = 0;
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, kMainWindowClass, nullptr))) {
        ++windows;
    }
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(::IsWindowVisible(first.MainWindow()));
}

TEST_F(ProgramTest, StartupBoxWritesAndRemovesTheRunValue) {
    Program program;
    ASSERT_NE(program.WaitForWindow(), nullptr);
    HWND check5 = program.Control(Control::Check5);
    HWND check8 = program.Control(Control::Check8);
    ::SendMessageW(check8, BM_CLICK, 0, 0);

    ::SendMessageW(check5, BM_CLICK, 0, 0);
    // The machine-wide key when this user may write it, the user's own key only otherwise.
    UniqueKey machineKey;
    bool machineWide = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE,
                                       machineKey.put()) == ERROR_SUCCESS;
    std::optional<std::wstring> machine = RunValue(HKEY_LOCAL_MACHINE);
    std::optional<std::wstring> user = RunValue(HKEY_CURRENT_USER);
    ASSERT_EQ(machine.has_value(), machineWide);
    ASSERT_EQ(user.has_value(), !machineWide);
    EXPECT_EQ(machineWide ? *machine : *user, L"\"" + ProgramPath() + L"\"");
    EXPECT_EQ(StoredSettings()[L"Windows Startup"], L"On");
    EXPECT_TRUE(::IsWindowVisible(check8));

    // Clearing it takes the value away and clears and hides the tray box with it.
    ::SendMessageW(check5, BM_CLICK, 0, 0);
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).has_value());
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).has_value());
    EXPECT_EQ(StoredSettings()[L"Windows Startup"], L"Off");
    EXPECT_EQ(StoredSettings()[L"Minimized"], L"Off");
    EXPECT_FALSE(Checked(check8));
    EXPECT_FALSE(::IsWindowVisible(check8));
    ASSERT_TRUE(program.Close());
}

HWND FocusOf(const Program& program) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(program.MainWindow(), nullptr), &info);
    return info.hwndFocus;
}

// A key pressed and released on whatever has the focus, through the program's message loop.
void PressKey(const Program& program, WPARAM key) {
    HWND focus = FocusOf(program);
    ::PostMessageW(focus, WM_KEYDOWN, key, 1);
    ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

std::string FocusName(const Program& program) {
    HWND focus = FocusOf(program);
    for (const sv::testing::ExpectedControl& expected : kExpectedControls) {
        if (program.Control(expected.id) == focus) {
            return expected.name;
        }
    }
    return "?";
}

TEST_F(ProgramTest, KeyboardMovesTopToBottomAndPressesButtons) {
    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return FocusName(program) == "PushButton4"; }, 5s));

    const std::vector<std::string> order = {
        "Option1",     "Text1",       "PushButton1",  "Option3",      "Check5",
        "Check8",      "Check9",      "Check10",      "ListView1",    "PushButton2",
        "PushButton3", "PushButton5", "PushButton11", "PushButton12", "PushButton4"};
    for (const std::string& next : order) {
        PressKey(program, VK_TAB);
        EXPECT_TRUE(WaitFor([&] { return FocusName(program) == next; }, 2s))
            << "expected " << next << ", focus on " << FocusName(program);
    }

    // Enter presses the focused button.
    PressKey(program, VK_RETURN);
    EXPECT_TRUE(WaitFor(
        [&] { return TextOf(program.Control(Control::PushButton4)) == L"Turn On Backup Save"; },
        2s));
    // Space as well.
    PressKey(program, VK_SPACE);
    EXPECT_TRUE(WaitFor(
        [&] { return TextOf(program.Control(Control::PushButton4)) == L"Turn Off Backup Save"; },
        2s));

    // The arrow keys move inside an option group and select as they go.
    PressKey(program, VK_TAB);
    ASSERT_TRUE(WaitFor([&] { return FocusName(program) == "Option1"; }, 2s));
    PressKey(program, VK_DOWN);
    EXPECT_TRUE(WaitFor([&] { return FocusName(program) == "Option2"; }, 2s));
    EXPECT_TRUE(WaitFor([&] { return StoredSettings()[L"WhereOption"] == L"2"; }, 2s));
    EXPECT_FALSE(Checked(program.Control(Control::Option1)));
    // The selected option now carries the group's tab stop.
    PressKey(program, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return FocusName(program) == "Text1"; }, 2s));
    ASSERT_TRUE(program.Close());
}

TEST_F(ProgramTest, ARowChosenWithTheKeyboardIsStoredAndRestartsTheCount) {
    Program program;
    ASSERT_NE(program.WaitForWindow(), nullptr);
    HWND list = program.Control(Control::ListView1);
    ASSERT_EQ(SelectedRow(list), 2);
    ::PostMessageW(list, WM_KEYDOWN, VK_DOWN, 1);
    ::PostMessageW(list, WM_KEYUP, VK_DOWN, 0xC0000001);
    EXPECT_TRUE(WaitFor([] { return StoredSettings()[L"OftenIndex"] == L"4"; }, 3s));
    EXPECT_EQ(SelectedRow(list), 3);
    ASSERT_TRUE(program.Close());
}

TEST_F(ProgramTest, ANewDpiRescalesEveryControl) {
    Program program;
    HWND window = program.WaitForWindow();
    ASSERT_NE(window, nullptr);
    constexpr int kDpi = 144;
    RECT before;
    ::GetWindowRect(window, &before);
    // The suggested rectangle travels in the program's memory, as Windows would pass it.
    RECT suggested{before.left, before.top, before.left + 900, before.top + 950};
    void* remote = ::VirtualAllocEx(program.Process(), nullptr, sizeof suggested,
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    ::WriteProcessMemory(program.Process(), remote, &suggested, sizeof suggested, nullptr);
    ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi), reinterpret_cast<LPARAM>(remote));
    ::VirtualFreeEx(program.Process(), remote, 0, MEM_RELEASE);

    RECT after;
    ::GetWindowRect(window, &after);
    EXPECT_EQ(after.right - after.left, 900);
    for (const sv::testing::ExpectedControl& control : kExpectedControls) {
        SCOPED_TRACE(control.name);
        RECT place;
        ::GetWindowRect(program.Control(control.id), &place);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        PixelRect expected =
            ToPixels({control.clientLeft, control.clientTop, control.width, control.height}, kDpi);
        EXPECT_EQ(place.left, expected.left);
        EXPECT_EQ(place.top, expected.top);
        EXPECT_EQ(place.right - place.left, expected.width);
        EXPECT_EQ(place.bottom - place.top, expected.height);
    }
    HWND list = program.Control(Control::ListView1);
    EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0),
              TwipsToPixels(kListColumnTwips, kDpi));
    ASSERT_TRUE(program.Close());
}

std::wstring TempLogPath() {
    wchar_t temp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    return std::wstring(temp) + L"\\Stenvault.txt";
}

std::optional<std::wstring> ClipboardText() {
    std::optional<std::wstring> text;
    if (!::OpenClipboard(nullptr)) {
        return text;
    }
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

TEST_F(ProgramTest, CopyPutsTheWholeLogOnTheClipboard) {
    // Longer than an edit control takes by default, so a cut-off would show.
    std::string log;
    for (int line = 0; log.size() < 40000; ++line) {
        log += "Plan.vsdx was backup saved as C:\\Backups\\Plan " + std::to_string(line) +
               ".vsd at 12/7/2021 1:05:09 PM\r\n";
    }
    {
        UniqueFile file(::CreateFileW(TempLogPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ::WriteFile(file.get(), log.data(), static_cast<DWORD>(log.size()), &written, nullptr);
    }
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }

    Program program;
    ASSERT_NE(program.WaitForWindow(), nullptr);
    ::SendMessageW(program.Control(Control::PushButton5), BM_CLICK, 0, 0);
    std::optional<std::wstring> copied;
    EXPECT_TRUE(WaitFor([&] { return (copied = ClipboardText()).has_value(); }, 3s));
    EXPECT_EQ(Narrow(copied.value_or(L"")), log);
    EXPECT_TRUE(program.Dialogs().empty());
    ASSERT_TRUE(program.Close());
    ::DeleteFileW(TempLogPath().c_str());
}

// The colour on screen at a point given in twips of the window's client area.
COLORREF PixelAt(HWND window, int xTwips, int yTwips) {
    int dpi = static_cast<int>(::GetDpiForWindow(window));
    POINT at{TwipsToPixels(xTwips, dpi), TwipsToPixels(yTwips, dpi)};
    ::ClientToScreen(window, &at);
    HDC screen = ::GetDC(nullptr);
    COLORREF colour = ::GetPixel(screen, at.x, at.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

class BackgroundTest : public ProgramTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BackgroundTest, IsWhiteUnlessASkinFileIsBesideTheProgram) {
    std::wstring program = ProgramPath();
    std::wstring skinFolder = program.substr(0, program.find_last_of(L'\\')) + L"\\x";
    std::wstring skinFile = skinFolder + L"\\o.cjs";
    bool skinned = GetParam();
    if (skinned) {
        ::CreateDirectoryW(skinFolder.c_str(), nullptr);
        UniqueFile file(::CreateFileW(skinFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
    }
    Program running;
    HWND window = running.WaitForWindow();
    ::DeleteFileW(skinFile.c_str());
    ::RemoveDirectoryW(skinFolder.c_str());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));
    std::this_thread::sleep_for(300ms);

    COLORREF expected = skinned ? ::GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255);
    // The window's margin, a spot inside a frame, and the far end of a check box.
    EXPECT_EQ(PixelAt(window, 60, 60), expected);
    EXPECT_EQ(PixelAt(window, 7000, 3800), expected);
    TwipRect box = ClientTwips(LayoutOf(Control::Check5));
    EXPECT_EQ(PixelAt(window, box.left + box.width - 60, box.top + box.height / 2), expected);
    ASSERT_TRUE(running.Close());
}

INSTANTIATE_TEST_SUITE_P(Skin, BackgroundTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Skinned" : "Plain"; });

struct ButtonDialog {
    Control button;
    const wchar_t* title;
    const wchar_t* textStart;
};

class ButtonDialogTest : public ProgramTest, public ::testing::WithParamInterface<ButtonDialog> {};

TEST_P(ButtonDialogTest, ShowsItsMessageBox) {
    // View needs the history log to be absent for its message.
    ::DeleteFileW(TempLogPath().c_str());

    Program program;
    ASSERT_NE(program.WaitForWindow(), nullptr);
    // Posted: the box is modal inside the click.
    ::PostMessageW(program.Control(GetParam().button), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !program.Dialogs().empty(); }, 5s));
    auto seen = program.Dialogs().front();
    EXPECT_EQ(seen.title, GetParam().title);
    EXPECT_TRUE(seen.text.starts_with(GetParam().textStart)) << Narrow(seen.text);
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(program.Dialogs().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, ButtonDialogTest,
    ::testing::Values(
        ButtonDialog{Control::PushButton11, L"Stenvault",
                     L"Questions? Please contact Team Veltrane at "},
        ButtonDialog{Control::PushButton3, L"Stenvault",
                     L"There isn't a history to view because actions have not been performed"}),
    [](const auto& info) { return std::string(LayoutOf(info.param.button).name); });

// The window in this process, with the logic attached and everything outside it faked.
class InProcessWindow : public ::testing::Test {
  protected:
    struct QuietDialogs : Dialogs {
        int ShowMessage(const std::string&, const std::string&, unsigned) override {
            return mb::kIdOk;
        }
        std::string BrowseForFolder(WindowHandle, const std::string&, const std::string&) override {
            return "";
        }
    };
    struct NoLauncher : Launcher {
        void Start(const std::string&, WindowShow) override {}
    };
    struct FixedRandom : RandomSource {
        double SeededDraw() override { return 0.5; }
    };
    struct NoEnvironment : Environment {
        std::optional<std::string> Variable(const std::string&) override { return "C:\\Temp"; }
    };
    struct FixedFolders : ShellFolders {
        std::optional<std::string> SpecialFolderPath(int) override { return "C:\\Desk"; }
    };
    struct SilentTray : TrayShell {
        bool Notify(std::uint32_t, const TrayIconRecord&) override { return true; }
        void HookWindow(cSysTray&) override {}
        void UnhookWindow() override {}
        bool PumpEvents(std::int64_t) override { return true; }
        // Each look at the clock finds a second gone, so a balloon wait ends at once.
        std::int64_t MonotonicMilliseconds() override { return now += 1000; }
        std::int64_t now = 0;
    };
    struct NoRegistry : Registry {
        std::optional<Key> Open(RegistryRoot, const std::string&, std::uint32_t) override {
            return std::nullopt;
        }
        bool SetString(Key, const std::string&, const std::string&) override { return false; }
        bool DeleteValue(Key, const std::string&) override { return false; }
        void Close(Key) override {}
    };

    void SetUp() override {
        form_.emplace(window_, Form1Services{settings_, dialogs_, files_, launcher_, random_,
                                             environment_, folders_, tray_, [](RunCause) {},
                                             [](const std::string&) { return true; }, registry_,
                                             "C:\\Program\\stenvault.exe"});
        attached_.emplace(window_, *form_);
        form_->Form_Load();
    }
    void TearDown() override {
        attached_.reset();
        form_.reset();
    }

    // What the window does when the mouse moves over one of its controls.
    // over: none for the window's own surface.
    HCURSOR PointerOver(std::optional<Control> over_control) {
        HWND over = over_control ? ::GetDlgItem(window_.Window(), ControlId(*over_control))
                                 : window_.Window();
        ::SendMessageW(window_.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return ::GetCursor();
    }

    MemorySettingsStore settings_;
    QuietDialogs dialogs_;
    Win32FileSystem files_;
    NoLauncher launcher_;
    FixedRandom random_;
    NoEnvironment environment_;
    FixedFolders folders_;
    SilentTray tray_;
    NoRegistry registry_;
    MainWindow window_{::GetModuleHandleW(nullptr)};
    std::optional<Form1> form_;
    std::optional<MainWindow::Attachment> attached_;
};

TEST_F(InProcessWindow, PointerIsAHandOverButtonsAndAnArrowOverTheSurfaces) {
    HCURSOR hand = ::LoadCursorA(nullptr, IDC_HAND);
    HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_EQ(PointerOver(Control::PushButton2), hand);
    EXPECT_EQ(window_.MousePointer(), Pointer::Custom);
    // Option buttons leave the pointer as it was.
    EXPECT_EQ(PointerOver(Control::Option3), hand);
    EXPECT_EQ(PointerOver(Control::ListView1), arrow);
    EXPECT_EQ(PointerOver(Control::PushButton12), hand);
    EXPECT_EQ(PointerOver(Control::Text1), arrow);
    EXPECT_EQ(PointerOver(Control::PushButton1), hand);
    EXPECT_EQ(PointerOver(std::nullopt), arrow);
    EXPECT_EQ(window_.MousePointer(), Pointer::Default);

    // Busy stays busy wherever the mouse goes.
    window_.SetMousePointer(Pointer::Busy);
    HCURSOR busy = ::LoadCursorA(nullptr, IDC_WAIT);
    EXPECT_EQ(PointerOver(Control::PushButton4), busy);
    EXPECT_EQ(PointerOver(Control::Frame1), busy);
    EXPECT_EQ(window_.MousePointer(), Pointer::Busy);
}

TEST_F(InProcessWindow, AHiddenMinimisedWindowComesBackRestoredOnlyWhenShown) {
    HWND window = window_.Window();
    // Minimising goes through the logic: hidden, state set back to normal, not shown.
    window_.SetWindowState(WindowState::Minimized);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(window_.GetWindowState(), WindowState::Normal);
    EXPECT_TRUE(form_->HiddenToTray());
    form_->cSysTray1_MouseUp();
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_FALSE(form_->HiddenToTray());
}

// Messages the window and its controls receive, counted per window and message.
class MessageCount {
  public:
    explicit MessageCount(HWND window) {
        Watch(window);
        for (HWND child = ::GetWindow(window, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            Watch(child);
        }
    }
    ~MessageCount() {
        for (HWND window : watched_) {
            ::RemoveWindowSubclass(window, &MessageCount::Count, 1);
        }
    }
    MessageCount(const MessageCount&) = delete;
    MessageCount& operator=(const MessageCount&) = delete;

    int Of(HWND window, UINT message) const {
        auto found = counts_.find({window, message});
        return found == counts_.end() ? 0 : found->second;
    }
    void Clear() { counts_.clear(); }

  private:
    void Watch(HWND window) {
        ::SetWindowSubclass(window, &MessageCount::Count, 1, reinterpret_cast<DWORD_PTR>(this));
        watched_.push_back(window);
    }
    static LRESULT CALLBACK Count(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
        ++reinterpret_cast<MessageCount*>(data)->counts_[{window, message}];
        return ::DefSubclassProc(window, message, wParam, lParam);
    }

    std::vector<HWND> watched_;
    std::map<std::pair<HWND, UINT>, int> counts_;
};

TEST_F(InProcessWindow, ATickRedrawsOnlyTheCaptionStripAndTheBar) {
    HWND window = window_.Window();
    window_.SetTimerInterval(0);
    auto control = [&](Control which) { return ::GetDlgItem(window, ControlId(which)); };
    HWND frame = control(Control::Frame2);
    HWND bar = control(Control::ProgressBar1);
    window_.SetProgressMax(300);
    window_.SetProgressPosition(1);
    window_.SetStatus("On. Next backup save will occur in 00:04:59");
    ::UpdateWindow(window);
    window_.PumpEvents();

    MessageCount count(window);
    // The next second: the same range, a new position and a new caption. The bar draws its
    // own change (asking the window for its background behind it).
    window_.SetProgressMax(300);
    window_.SetProgressPosition(2);
    EXPECT_EQ(count.Of(bar, PBM_SETRANGE32), 0);
    EXPECT_EQ(count.Of(bar, PBM_SETPOS), 1);
    ::UpdateWindow(window);
    window_.PumpEvents();

    count.Clear();
    window_.SetStatus("On. Next backup save will occur in 00:04:58");
    EXPECT_EQ(WindowTextOf(frame), L"On. Next backup save will occur in 00:04:58");
    // Only the caption's strip waits to be drawn: not the frame around the bar, not the
    // window behind it, no other control.
    RECT update{};
    ASSERT_TRUE(::GetUpdateRect(frame, &update, FALSE));
    EXPECT_LT(update.bottom, TwipsToPixels(LayoutOf(Control::ProgressBar1).place.top,
                                           static_cast<int>(::GetDpiForWindow(window))));
    EXPECT_FALSE(::GetUpdateRect(window, nullptr, FALSE));
    for (const sv::testing::ExpectedControl& other : kExpectedControls) {
        if (other.id != Control::Frame2) {
            EXPECT_FALSE(::GetUpdateRect(control(other.id), nullptr, FALSE)) << other.name;
        }
    }
    ::UpdateWindow(window);
    window_.PumpEvents();
    EXPECT_EQ(count.Of(frame, WM_PAINT), 1);
    EXPECT_EQ(count.Of(window, WM_PAINT), 0);

    // Nothing changed: nothing is sent, nothing waits to be drawn.
    count.Clear();
    window_.SetProgressMax(300);
    window_.SetProgressPosition(2);
    window_.SetStatus("On. Next backup save will occur in 00:04:58");
    EXPECT_EQ(count.Of(bar, PBM_SETRANGE32), 0);
    EXPECT_EQ(count.Of(bar, PBM_SETPOS), 0);
    EXPECT_FALSE(::GetUpdateRect(frame, nullptr, FALSE));
    EXPECT_FALSE(::GetUpdateRect(bar, nullptr, FALSE));
}

// The stored interval is the last row, below the list's fold: shown, the list has it in view.
class InProcessWindowLastRow : public InProcessWindow {
  protected:
    void SetUp() override {
        SaveSetting(settings_, kSettingsApp, kSettingsSection, kOftenIndexKey, "10");
        InProcessWindow::SetUp();
    }
};

TEST_F(InProcessWindowLastRow, ShowsTheSelectedRowWhenTheWindowIsShown) {
    HWND list = ::GetDlgItem(window_.Window(), ControlId(Control::ListView1));
    ASSERT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), 9);
    EXPECT_TRUE(ListView_IsItemVisible(list, 9));
    EXPECT_GT(ListView_GetTopIndex(list), 0);
}

TEST_F(InProcessWindow, ASecondThatFillsNoNewPixelKeepsTheBarAsItIs) {
    HWND window = window_.Window();
    window_.SetTimerInterval(0);
    HWND bar = ::GetDlgItem(window, ControlId(Control::ProgressBar1));
    window_.SetProgressMax(86400);
    window_.SetProgressPosition(43200);
    ::UpdateWindow(window);
    window_.PumpEvents();

    // A day's interval: one second moves the fill by a fraction of a pixel.
    MessageCount count(window);
    window_.SetProgressPosition(43201);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 43201);
    EXPECT_TRUE(::IsWindowVisible(bar));
    EXPECT_FALSE(::GetUpdateRect(bar, nullptr, FALSE));
    ::UpdateWindow(window);
    window_.PumpEvents();
    EXPECT_EQ(count.Of(bar, WM_PAINT), 0);

    // Back to the start empties the bar: that is drawn.
    window_.SetProgressPosition(0);
    ::UpdateWindow(window);
    window_.PumpEvents();
    EXPECT_EQ(count.Of(bar, WM_PAINT), 1);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
}

// True when some pixel of the control's caption area has the colour.
bool CaptionShows(HWND control, COLORREF colour) {
    RECT box;
    ::GetWindowRect(control, &box);
    HDC screen = ::GetDC(nullptr);
    bool found = false;
    for (int y = box.top; y < box.bottom && !found; ++y) {
        for (int x = box.left + 16; x < box.right && !found; ++x) {
            found = ::GetPixel(screen, x, y) == colour;
        }
    }
    ::ReleaseDC(nullptr, screen);
    return found;
}

// The system's colours, changed for a test and put back after it. Under Wine the change
// reaches this process's windows only, so the window under test lives here.
class SystemColours {
  public:
    static constexpr std::array<int, 3> kElements = {COLOR_WINDOWTEXT, COLOR_BTNFACE,
                                                     COLOR_BTNTEXT};
    SystemColours() {
        for (std::size_t i = 0; i < kElements.size(); ++i) {
            saved_[i] = ::GetSysColor(kElements[i]);
        }
    }
    ~SystemColours() { Restore(); }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;

    // White text on black, as a dark high-contrast theme has it.
    void Dark() {
        std::array<COLORREF, 3> dark = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255)};
        ::SetSysColors(3, kElements.data(), dark.data());
    }
    void Restore() { ::SetSysColors(3, kElements.data(), saved_.data()); }

  private:
    std::array<COLORREF, 3> saved_{};
};

TEST_F(InProcessWindow, DarkSystemColoursReplaceTheWhiteBackgroundAndBack) {
    SystemColours colours;
    HWND window = window_.Window();
    auto shows = [&](COLORREF colour) {
        return WaitFor(
            [&] {
                window_.PumpEvents();
                return PixelAt(window, 60, 60) == colour;
            },
            3s);
    };
    const TwipRect check5 = ClientTwips(LayoutOf(Control::Check5));
    auto checkBoxEnd = [&] {
        return PixelAt(window, check5.left + check5.width - 60, check5.top + check5.height / 2);
    };
    HWND option1 = ::GetDlgItem(window, ControlId(Control::Option1));
    HWND check8 = ::GetDlgItem(window, ControlId(Control::Check8));
    ASSERT_TRUE(shows(RGB(255, 255, 255)));
    EXPECT_TRUE(CaptionShows(option1, RGB(0, 0, 0)));

    colours.Dark();
    EXPECT_TRUE(shows(RGB(0, 0, 0)));
    EXPECT_EQ(PixelAt(window, 7000, 3800), RGB(0, 0, 0));
    EXPECT_EQ(checkBoxEnd(), RGB(0, 0, 0));
    // The captions are drawn in the light text on the dark ground.
    EXPECT_TRUE(CaptionShows(option1, RGB(255, 255, 255)));
    EXPECT_TRUE(CaptionShows(check8, RGB(255, 255, 255)));

    colours.Restore();
    EXPECT_TRUE(shows(RGB(255, 255, 255)));
    EXPECT_EQ(checkBoxEnd(), RGB(255, 255, 255));
    EXPECT_TRUE(CaptionShows(option1, RGB(0, 0, 0)));
}

int IconWidth(HWND window, WPARAM which) {
    return sv::win32::testing::IconPixelWidth(
        reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0)));
}

struct IconSizes {
    int dpi;
    int small;
    int big;
};

TEST_F(InProcessWindow, WindowIconsFollowTheDpiShownOrHidden) {
    ASSERT_EQ(::GetDpiForSystem(), 96u);
    HWND window = window_.Window();
    EXPECT_EQ(IconWidth(window, ICON_SMALL), 16);
    EXPECT_EQ(IconWidth(window, ICON_BIG), 32);

    auto changeDpi = [&](int dpi) {
        RECT now;
        ::GetWindowRect(window, &now);
        RECT suggested{now.left, now.top, now.left + 900, now.top + 950};
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
    };
    const IconSizes sizes[] = {{120, 20, 40}, {144, 24, 48}, {192, 32, 64}, {96, 16, 32}};
    for (const IconSizes& size : sizes) {
        SCOPED_TRACE(size.dpi);
        changeDpi(size.dpi);
        EXPECT_EQ(IconWidth(window, ICON_SMALL), size.small);
        EXPECT_EQ(IconWidth(window, ICON_BIG), size.big);
    }

    // Hidden in the tray, a new DPI still reaches the icons.
    window_.SetWindowState(WindowState::Minimized);
    ASSERT_FALSE(::IsWindowVisible(window));
    changeDpi(144);
    EXPECT_EQ(IconWidth(window, ICON_SMALL), 24);
    EXPECT_EQ(IconWidth(window, ICON_BIG), 48);
}

}  // namespace
}  // namespace sv::win32
