#include "platform/dialogs_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>

#include "common/text_win32.h"
#include "platform/folder_chooser_win32.h"

namespace sv::win32 {
namespace {

// Polls until find() gives a window, then lets act() work on it, from a thread of its own.
class Helper {
  public:
    template <class Find, class Act>
    Helper(Find find, Act act)
        : thread_([this, find, act] {
              for (int i = 0; i < 500; ++i) {
                  if (HWND w = find()) {
                      act(w);
                      found_ = true;
                      return;
                  }
                  ::Sleep(20);
              }
          }) {}
    ~Helper() { Join(); }
    bool Found() {
        Join();
        return found_;
    }

  private:
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::atomic<bool> found_{false};
    std::thread thread_;
};

std::wstring Text(HWND w) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(w, buffer, 512);
    return buffer;
}

// style, button pressed -> answer
class MessageBoxOnWine : public ::testing::TestWithParam<std::tuple<unsigned, int, int>> {};

TEST_P(MessageBoxOnWine, ShowsUtf8TextsAndGivesTheButtonPressed) {
    auto [style, button, answer] = GetParam();
    const std::string title = "Stenvault \xC3\xA9t\xC3\xA9";  // "été"
    const std::string text = "Line \xE2\x82\xAC one";         // euro sign
    std::wstring seenText;
    HWND seenOwner = reinterpret_cast<HWND>(1);
    Helper helper([&] { return ::FindWindowW(L"#32770", Widen(title).c_str()); },
                  [&](HWND box) {
                      seenText = Text(::GetDlgItem(box, 0xFFFF));
                      seenOwner = ::GetWindow(box, GW_OWNER);
                      ::SendMessageW(::GetDlgItem(box, button), BM_CLICK, 0, 0);
                  });
    Win32Dialogs dialogs;
    EXPECT_EQ(dialogs.ShowMessage(text, title, style), answer);
    ASSERT_TRUE(helper.Found());
    EXPECT_EQ(seenText, Widen(text));
    EXPECT_EQ(seenOwner, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, MessageBoxOnWine,
                         ::testing::Values(std::make_tuple(mb::kOk, IDOK, mb::kIdOk),
                                           std::make_tuple(mb::kIconExclamation, IDOK, mb::kIdOk),
                                           std::make_tuple(mb::kYesNo, IDYES, mb::kIdYes),
                                           std::make_tuple(mb::kYesNo, IDNO, mb::kIdNo)));

TEST(MessageBoxOwner, BoxBelongsToTheGivenWindow) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    HWND seenOwner = nullptr;
    Helper helper([&] { return ::FindWindowW(L"#32770", L"Owned box"); },
                  [&](HWND box) {
                      seenOwner = ::GetWindow(box, GW_OWNER);
                      ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                  });
    Win32Dialogs dialogs(owner);
    EXPECT_EQ(dialogs.ShowMessage("text", "Owned box", mb::kOk), mb::kIdOk);
    ASSERT_TRUE(helper.Found());
    EXPECT_EQ(seenOwner, owner);
    ::DestroyWindow(owner);
}

// The folder browser of this thread, once it is up.
HWND FindBrowser(DWORD thread) {
    HWND found = nullptr;
    ::EnumThreadWindows(
        thread,
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t cls[16] = {};
            ::GetClassNameW(w, cls, 16);
            if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(w)) {
                *reinterpret_cast<HWND*>(p) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool HasChildWithText(HWND dialog, const std::wstring& text) {
    std::pair<const std::wstring*, bool> search{&text, false};
    ::EnumChildWindows(
        dialog,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<std::pair<const std::wstring*, bool>*>(p);
            if (Text(w) == *s->first) {
                s->second = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

TEST(FolderChooser, CancelGivesEmptyText) {
    const DWORD me = ::GetCurrentThreadId();
    const std::string title = "Choose the backup folder";
    bool titleShown = false;
    Helper helper([&] { return FindBrowser(me); },
                  [&](HWND dialog) {
                      ::Sleep(100);
                      titleShown = HasChildWithText(dialog, Widen(title));
                      ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                  });
    Win32Dialogs dialogs;
    EXPECT_EQ(dialogs.BrowseForFolder(0, title, ""), "");
    ASSERT_TRUE(helper.Found());
    EXPECT_TRUE(titleShown);
}

TEST(FolderChooser, StartFolderIsSelectedAndReturnedOnOk) {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string start = FromAnsi(windows);
    const DWORD me = ::GetCurrentThreadId();
    Helper helper([&] { return FindBrowser(me); },
                  [&](HWND dialog) {
                      ::Sleep(200);
                      ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
                  });
    std::string chosen = BrowseForFolder(nullptr, "Pick", start);
    ASSERT_TRUE(helper.Found());
    EXPECT_EQ(
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, chosen.c_str(), -1, start.c_str(), -1),
        CSTR_EQUAL)
        << chosen << " vs " << start;
}

}  // namespace
}  // namespace sv::win32
