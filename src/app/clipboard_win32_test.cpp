// The whole program under Wine: a backup run started from the window leaves the user's
// clipboard as it found it. Needs a display and the drawing application stand-in registered.
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <string>

#include "app/testing/program_win32.h"
#include "backup/testing/clipboard_win32.h"
#include "backup/testing/standin_win32.h"
#include "common/com_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {
namespace {

using namespace sv::win32::testing;
using backup::Object;
using backup::testing::ScratchFolder;
using backup::testing::UserInstance;

std::wstring HistoryLog() {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"Stenvault.txt";
}

int BackupsIn(const std::string& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW((Widen(folder) + L"\\*.vsd").c_str(), &data));
    int count = 0;
    if (find) {
        do {
            ++count;
        } while (::FindNextFileW(find.get(), &data));
    }
    return count;
}

TEST_F(ProgramTest, BackupSaveNowLeavesTheUsersTextOnTheClipboard) {
    backup::testing::EndStrayStandins();
    ScratchFolder folder("clipboard run");
    StoreSetting(L"WhereOption", L"1");
    StoreSetting(L"Path", Widen(folder.path()));
    StoreSetting(L"Backup Option", L"1");
    ComApartment apartment;
    backup::win32::DispatchLink link;
    UserInstance user;
    ASSERT_TRUE(user.ready());
    {
        Object app = link.AttachToVisio();
        backup::testing::AddDrawingWithShape(*app, "backup's shape");
    }
    const std::wstring text = L"what the user copied \x00e4\x20ac";
    backup::testing::TestWindow owner;
    ASSERT_TRUE(backup::testing::PutText(owner.get(), text));

    Program program;
    ASSERT_NE(program.WaitForWindow(), nullptr);
    // The click returns once the run it started has ended.
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(program.Control(Control::PushButton2), BM_CLICK, 0, 0,
                                      SMTO_NORMAL, 120000, &result));

    EXPECT_EQ(BackupsIn(folder.path()), 1);
    EXPECT_TRUE(program.Dialogs().empty());
    EXPECT_EQ(backup::testing::ReadText(), text);
    ASSERT_TRUE(program.Close());
    ::DeleteFileW(HistoryLog().c_str());
}

}  // namespace
}  // namespace sv::win32
