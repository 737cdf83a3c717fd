#include "common/system_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/failure.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {
namespace {

// A scratch folder of our own under the temporary folder, removed afterwards.
class Win32FileSystemTest : public testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
        folder_ = Narrow(temp) + "sv system test " + std::to_string(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryW(Widen(folder_).c_str(), nullptr));
        file_ = folder_ + "\\log file.txt";
    }
    void TearDown() override {
        ::SetFileAttributesW(Widen(file_).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(Widen(file_).c_str());
        ::RemoveDirectoryW(Widen(folder_).c_str());
    }
    std::string RawBytes() {
        UniqueFile h(::CreateFileW(Widen(file_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        EXPECT_NE(h.get(), INVALID_HANDLE_VALUE);
        char buffer[256];
        DWORD got = 0;
        ::ReadFile(h.get(), buffer, sizeof buffer, &got, nullptr);
        return std::string(buffer, got);
    }

    Win32FileSystem files_;
    std::string folder_;
    std::string file_;
};

TEST_F(Win32FileSystemTest, AppendCreatesThenAddsWithoutTruncating) {
    EXPECT_FALSE(files_.Exists(file_));
    files_.AppendText(file_, "first\r\n");
    EXPECT_TRUE(files_.Exists(file_));
    files_.AppendText(file_, "second\r\n");
    EXPECT_EQ(RawBytes(), "first\r\nsecond\r\n");
    EXPECT_EQ(files_.ReadText(file_), "first\r\nsecond\r\n");
}

TEST_F(Win32FileSystemTest, TextIsWrittenInTheAnsiCodePage) {
    const std::string utf8 = "caf\xC3\xA9";  // é
    files_.AppendText(file_, utf8);
    char expected[8] = {};
    int n = ::WideCharToMultiByte(CP_ACP, 0, L"caf\u00e9", 4, expected, sizeof expected, nullptr,
                                  nullptr);
    EXPECT_EQ(RawBytes(), std::string(expected, n));
    if (::GetACP() == 1252) {
        EXPECT_EQ(RawBytes(), "caf\xE9");
    }
    EXPECT_EQ(files_.ReadText(file_), utf8);
}

TEST_F(Win32FileSystemTest, ExistsAndOrdinaryFileTellFoldersApart) {
    EXPECT_TRUE(files_.Exists(folder_));
    EXPECT_FALSE(files_.IsOrdinaryFile(folder_));
    EXPECT_FALSE(files_.Exists(""));
    EXPECT_FALSE(files_.Exists("Q:\\no such drive\\x.txt"));
    files_.AppendText(file_, "x");
    EXPECT_TRUE(files_.IsOrdinaryFile(file_));
    ::SetFileAttributesW(Widen(file_).c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(files_.IsOrdinaryFile(file_));
}

TEST_F(Win32FileSystemTest, ForcedDeleteRemovesAReadOnlyFileThePlainOneLeaves) {
    files_.AppendText(file_, "x");
    ASSERT_TRUE(::SetFileAttributesW(Widen(file_).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(files_.DeletePlain(file_));
    EXPECT_TRUE(files_.Exists(file_));
    EXPECT_TRUE(files_.DeleteForced(file_));
    EXPECT_FALSE(files_.Exists(file_));
    EXPECT_FALSE(files_.DeletePlain(file_));
    EXPECT_FALSE(files_.DeleteForced(file_));
    EXPECT_FALSE(files_.DeleteForced(folder_));
    EXPECT_TRUE(files_.Exists(folder_));
}

TEST_F(Win32FileSystemTest, MoveOverReplacesTheFileOrLeavesBothAsTheyWere) {
    const std::string fresh = folder_ + "\\fresh.vsd";
    files_.AppendText(file_, "old");
    EXPECT_THROW(files_.MoveOver(fresh, file_), Failure);
    EXPECT_EQ(RawBytes(), "old");
    files_.AppendText(fresh, "new");
    files_.MoveOver(fresh, file_);
    EXPECT_EQ(RawBytes(), "new");
    EXPECT_FALSE(files_.Exists(fresh));
}

TEST_F(Win32FileSystemTest, AppendToAFolderFails) {
    EXPECT_THROW(files_.AppendText(folder_, "x"), Failure);
    EXPECT_THROW(files_.ReadText(file_), Failure);
}

// What stands in the way of removing a file, and what becomes of it either way.
struct RemovalCase {
    const char* name;
    Removal how;
    // Attributes set on the file, or a folder in its place, or the file held open.
    DWORD attributes;
    bool isFolder;
    bool heldOpen;
    bool removed;
};

class RemoveUnusedTest : public Win32FileSystemTest,
                         public testing::WithParamInterface<RemovalCase> {};

TEST_P(RemoveUnusedTest, RemovesOnlyAnOrdinaryFileNobodyHolds) {
    const RemovalCase& c = GetParam();
    const std::string path = folder_ + "\\old backup.vsd";
    const std::wstring wide = Widen(path);
    if (c.isFolder) {
        ASSERT_TRUE(::CreateDirectoryW(wide.c_str(), nullptr));
    } else {
        files_.AppendText(path, "drawing");
        ::SetFileAttributesW(wide.c_str(), c.attributes);
    }
    UniqueFile holder;
    if (c.heldOpen) {
        holder.reset(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
    }
    std::vector<FolderEntry> listed = files_.ListFolder(folder_);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "old backup.vsd");
    EXPECT_EQ(listed[0].folder, c.isFolder);
    EXPECT_EQ(listed[0].readOnly, (c.attributes & FILE_ATTRIBUTE_READONLY) != 0);
    EXPECT_GE(listed[0].ageSeconds, 0);
    EXPECT_LT(listed[0].ageSeconds, 60);

    EXPECT_EQ(files_.RemoveUnused(path, c.how), c.removed);
    holder.reset();
    EXPECT_EQ(::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES, c.removed);
    ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(wide.c_str());
    ::RemoveDirectoryW(wide.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RemoveUnusedTest,
    testing::Values(
        RemovalCase{"Recycled", Removal::Recycle, FILE_ATTRIBUTE_NORMAL, false, false, true},
        RemovalCase{"Deleted", Removal::Delete, FILE_ATTRIBUTE_NORMAL, false, false, true},
        RemovalCase{"ReadOnlyRecycle", Removal::Recycle, FILE_ATTRIBUTE_READONLY, false, false,
                    false},
        RemovalCase{"ReadOnlyDelete", Removal::Delete, FILE_ATTRIBUTE_READONLY, false, false,
                    false},
        RemovalCase{"HeldOpenRecycle", Removal::Recycle, FILE_ATTRIBUTE_NORMAL, false, true, false},
        RemovalCase{"HeldOpenDelete", Removal::Delete, FILE_ATTRIBUTE_NORMAL, false, true, false},
        RemovalCase{"Folder", Removal::Recycle, 0, true, false, false}),
    [](const testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

TEST_F(Win32FileSystemTest, AFolderThatCannotBeListedFails) {
    EXPECT_THROW(files_.ListFolder(folder_ + "\\missing"), Failure);
    EXPECT_TRUE(files_.ListFolder(folder_).empty());
}

TEST(Win32FileSystem, ProgramFolderHoldsThisTest) {
    Win32FileSystem files;
    std::string folder = files.ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(files.Exists(folder + "\\common_win32_tests.exe"));
}

TEST(Win32Locale, EnglishNamesAndForms) {
    Win32Locale locale;
    EXPECT_EQ(locale.MonthAbbreviation(1), "Jan");
    EXPECT_EQ(locale.MonthAbbreviation(12), "Dec");
    EXPECT_EQ(locale.TimeMarker(false), "AM");
    EXPECT_EQ(locale.TimeMarker(true), "PM");
    LocalTime t{2021, 12, 7, 13, 5, 9};
    EXPECT_EQ(locale.ShortDate(t), "12/7/2021");
    EXPECT_EQ(locale.LongTime(t), "1:05:09 PM");
}

TEST(Win32Environment, SetEmptyAndMissingVariables) {
    Win32Environment env;
    ASSERT_TRUE(::SetEnvironmentVariableW(L"SV_TEST_VAR", L"C:\\T\u00e9mp"));
    EXPECT_EQ(env.Variable("SV_TEST_VAR"), "C:\\T\xC3\xA9mp");
    ::SetEnvironmentVariableW(L"SV_TEST_VAR", nullptr);
    EXPECT_EQ(env.Variable("SV_TEST_VAR"), std::nullopt);
    EXPECT_TRUE(env.Variable("TEMP").has_value());
}

TEST(Win32ShellFolders, DesktopExists) {
    Win32ShellFolders shell;
    auto desktop = shell.SpecialFolderPath(kDesktopFolder);
    ASSERT_TRUE(desktop.has_value());
    Win32FileSystem files;
    EXPECT_TRUE(files.Exists(*desktop));
    EXPECT_EQ(GetDesktopFolder(shell).back(), '\\');
}

TEST(Win32Launcher, StartsWithoutWaitingAndReportsAMissingProgram) {
    Win32Launcher launcher;
    EXPECT_NO_THROW(launcher.Start("cmd.exe /c exit 0", WindowShow::MinimizedFocused));
    EXPECT_THROW(launcher.Start("sv-no-such-program.exe", WindowShow::Normal), Failure);
}

TEST(Win32Random, DrawsInTheUnitInterval) {
    Win32Random random;
    for (int i = 0; i < 20; ++i) {
        double r = random.SeededDraw();
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 1.0);
    }
}

}  // namespace
}  // namespace sv::win32
