#include "history/history_log.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/failure.h"

namespace sv {
namespace {

struct FakeFiles : FileSystem {
    std::map<std::string, std::string> files;
    std::set<std::string> readOnly;
    std::vector<std::string> calls;
    bool failAppend = false;

    bool Exists(const std::string& path) override { return files.count(path) > 0; }
    bool IsOrdinaryFile(const std::string& path) override { return Exists(path); }
    void AppendText(const std::string& path, const std::string& text) override {
        if (failAppend)
            throw Failure("Permission denied");
        files[path] += text;
    }
    std::string ReadText(const std::string& path) override {
        if (!Exists(path))
            throw Failure("File not found");
        return files[path];
    }
    bool DeletePlain(const std::string& path) override {
        calls.push_back("plain");
        if (!Exists(path) || readOnly.count(path))
            return false;
        files.erase(path);
        return true;
    }
    bool DeleteForced(const std::string& path) override {
        calls.push_back("forced");
        readOnly.erase(path);
        return files.erase(path) > 0;
    }
    void MoveOver(const std::string&, const std::string&) override {}
    std::vector<FolderEntry> ListFolder(const std::string&) override { return {}; }
    bool RemoveUnused(const std::string&, Removal) override { return false; }
    std::string ProgramFolder() override { return "C:\\Program"; }
};

struct FakeEnvironment : Environment {
    std::optional<std::string> temp;
    std::optional<std::string> Variable(const std::string& name) override {
        return name == "TEMP" ? temp : std::nullopt;
    }
};

struct FakeLocale : Locale {
    std::string MonthAbbreviation(int) override { return "Dec"; }
    std::string TimeMarker(bool pm) override { return pm ? "PM" : "AM"; }
    std::string ShortDate(const LocalTime& t) override {
        return std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year);
    }
    std::string LongTime(const LocalTime& t) override {
        return std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
               std::to_string(t.second);
    }
};

struct FakeDialogs : Dialogs {
    struct Box {
        std::string text, title;
        unsigned style;
    };
    std::vector<Box> boxes;
    int answer = mb::kIdOk;
    bool fail = false;
    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override {
        boxes.push_back({text, title, style});
        if (fail) {
            fail = false;  // the report that follows must show
            throw Failure("Out of memory");
        }
        return answer;
    }
    std::string BrowseForFolder(WindowHandle, const std::string&, const std::string&) override {
        return {};
    }
};

struct FakeLauncher : Launcher {
    std::vector<std::pair<std::string, WindowShow>> started;
    bool fail = false;
    void Start(const std::string& line, WindowShow show) override {
        if (fail)
            throw Failure("File not found");
        started.emplace_back(line, show);
    }
};

struct FakeBuffer : CopyBuffer {
    std::string text = "old";
    int start = -1, length = -1;
    std::string clipboard;
    void LoadText(const std::string& t) override { text = t; }
    void SetSelectionStart(int s) override { start = s; }
    void SetSelectionLength(int l) override { length = l; }
    int TextLength() override { return static_cast<int>(text.size()); }
    void SendCopy() override { clipboard = text.substr(start, length); }
};

constexpr char kLog[] = "C:\\Users\\A User\\Temp\\Stenvault.txt";

class HistoryActionsTest : public testing::Test {
  protected:
    FakeFiles files;
    FakeDialogs dialogs;
    FakeLauncher launcher;
    FakeBuffer buffer;
    int pumps = 0;
    HistoryActions actions{files, dialogs,    launcher, buffer, [this] { ++pumps; },
                           kLog,  "Stenvault"};
};

TEST(HistoryLogPath, TempFolderAndProductName) {
    FakeEnvironment env;
    env.temp = "C:\\Temp";
    EXPECT_EQ(HistoryLogPath(env), "C:\\Temp\\Stenvault.txt");
    env.temp = "";
    EXPECT_EQ(HistoryLogPath(env), "\\Stenvault.txt");
    env.temp.reset();
    EXPECT_EQ(HistoryLogPath(env), "\\Stenvault.txt");
}

TEST(AppendHistoryLine, AppendsLinesWithCrLfAndPassesFailuresOn) {
    FakeFiles files;
    AppendHistoryLine(files, kLog, "a.vsd was backup saved as C:\\a_1.vsd at 1/2/2021");
    AppendHistoryLine(files, kLog, "second");
    EXPECT_EQ(files.files[kLog], "a.vsd was backup saved as C:\\a_1.vsd at 1/2/2021\r\nsecond\r\n");
    files.failAppend = true;
    EXPECT_THROW(AppendHistoryLine(files, kLog, "third"), Failure);
}

TEST(GeneralDate, DateAndTimeButDateAloneAtMidnight) {
    FakeLocale locale;
    EXPECT_EQ(GeneralDate(locale, {2021, 12, 7, 13, 5, 9}), "12/7/2021 13:5:9");
    EXPECT_EQ(GeneralDate(locale, {2021, 12, 7, 0, 0, 0}), "12/7/2021");
    EXPECT_EQ(GeneralDate(locale, {2021, 12, 7, 0, 0, 1}), "12/7/2021 0:0:1");
}

TEST(RemoveFile, PlainDeleteFirstForcedOnlyWhenThatFails) {
    FakeFiles files;
    int pumps = 0;
    files.files[kLog] = "x";
    RemoveFile(files, kLog, [&] { ++pumps; });
    EXPECT_EQ(files.calls, (std::vector<std::string>{"plain"}));
    EXPECT_EQ(pumps, 1);

    files.calls.clear();
    files.files[kLog] = "x";
    files.readOnly.insert(kLog);
    RemoveFile(files, kLog, [&] { ++pumps; });
    EXPECT_EQ(files.calls, (std::vector<std::string>{"plain", "forced"}));
    EXPECT_FALSE(files.Exists(kLog));
}

struct RemoveCase {
    const char* name;
    bool plainThrows;
    bool forcedThrows;
    std::vector<std::string> calls;
    bool gone;
};

class RemoveFileFailure : public testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveFileFailure, IsSilentAndLeavesTheFileToTheForcedDelete) {
    struct FailingFiles : FakeFiles {
        bool plainThrows = false;
        bool forcedThrows = false;
        bool DeletePlain(const std::string& path) override {
            if (plainThrows) {
                calls.push_back("plain");
                throw Failure("Path not found");
            }
            return FakeFiles::DeletePlain(path);
        }
        bool DeleteForced(const std::string& path) override {
            if (forcedThrows) {
                calls.push_back("forced");
                throw Failure("Permission denied");
            }
            return FakeFiles::DeleteForced(path);
        }
    } files;
    files.plainThrows = GetParam().plainThrows;
    files.forcedThrows = GetParam().forcedThrows;
    files.files[kLog] = "x";
    files.readOnly.insert(kLog);
    EXPECT_NO_THROW(RemoveFile(files, kLog, nullptr));
    EXPECT_EQ(files.calls, GetParam().calls);
    EXPECT_EQ(!files.Exists(kLog), GetParam().gone);
}

INSTANTIATE_TEST_SUITE_P(
    Deletes, RemoveFileFailure,
    testing::Values(RemoveCase{"PlainThrows", true, false, {"plain", "forced"}, true},
                    RemoveCase{"ForcedThrows", false, true, {"plain", "forced"}, false},
                    RemoveCase{"BothThrow", true, true, {"plain", "forced"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoveFile, NoFileIsNoFailure) {
    FakeFiles missing;
    EXPECT_NO_THROW(RemoveFile(missing, kLog, nullptr));
    EXPECT_EQ(missing.calls, (std::vector<std::string>{"plain", "forced"}));
}

TEST_F(HistoryActionsTest, ViewStartsTheEditorWithTheQuotedPath) {
    files.files[kLog] = "line\r\n";
    actions.View();
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].first, "notepad \"C:\\Users\\A User\\Temp\\Stenvault.txt\"");
    EXPECT_EQ(launcher.started[0].second, WindowShow::Normal);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(HistoryActionsTest, ViewWithoutALogSaysSo) {
    actions.View();
    EXPECT_TRUE(launcher.started.empty());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              "There isn't a history to view because actions have not been performed yet.");
    EXPECT_EQ(dialogs.boxes[0].title, "Stenvault");
    EXPECT_EQ(dialogs.boxes[0].style, mb::kOk);
}

TEST_F(HistoryActionsTest, EditorThatCannotStartIsReportedAtLine102) {
    files.files[kLog] = "line\r\n";
    launcher.fail = true;
    actions.View();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text.rfind(
                  "File not found\r\nin Quorvel2021/08/31.Form1.PushButton3_Click at line 102", 0),
              0u);
}

TEST_F(HistoryActionsTest, CopySelectsAndCopiesTheWholeLog) {
    files.files[kLog] = "one\r\ntwo\r\nthree\r\n";
    actions.Copy();
    EXPECT_EQ(buffer.start, 0);
    EXPECT_EQ(buffer.clipboard, "one\r\ntwo\r\nthree\r\n");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(HistoryActionsTest, CopyWithoutALogDoesNothing) {
    actions.Copy();
    EXPECT_EQ(buffer.text, "old");
    EXPECT_EQ(buffer.clipboard, "");
    EXPECT_TRUE(dialogs.boxes.empty());
}

struct ClearCase {
    int answer;
    bool readOnly;
    bool deleted;
};

class ClearTest : public HistoryActionsTest, public testing::WithParamInterface<ClearCase> {};

TEST_P(ClearTest, DeletesOnlyOnYes) {
    files.files[kLog] = "line\r\n";
    files.files["C:\\Users\\A User\\Temp\\other.txt"] = "keep";
    if (GetParam().readOnly)
        files.readOnly.insert(kLog);
    dialogs.answer = GetParam().answer;
    actions.Clear();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              "Are you sure you want to delete the history log and start over?");
    EXPECT_EQ(dialogs.boxes[0].title, "Stenvault");
    EXPECT_EQ(dialogs.boxes[0].style, mb::kYesNo);
    EXPECT_EQ(files.Exists(kLog), !GetParam().deleted);
    EXPECT_EQ(pumps, GetParam().deleted ? 1 : 0);
    EXPECT_TRUE(files.Exists("C:\\Users\\A User\\Temp\\other.txt"));
}

INSTANTIATE_TEST_SUITE_P(Answers, ClearTest,
                         testing::Values(ClearCase{mb::kIdYes, false, true},
                                         ClearCase{mb::kIdYes, true, true},
                                         ClearCase{mb::kIdNo, false, false},
                                         ClearCase{mb::kIdCancel, false, false}));

TEST_F(HistoryActionsTest, ClearWithoutALogIsSilentAndViewStillSaysThereIsNone) {
    dialogs.answer = mb::kIdYes;
    actions.Clear();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    actions.View();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].text, kNoHistoryMessage);
}

TEST_F(HistoryActionsTest, QuestionThatCannotBeShownDeletesNothing) {
    files.files[kLog] = "line\r\n";
    dialogs.fail = true;
    dialogs.answer = mb::kIdOk;
    actions.Clear();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].text.rfind(
                  "Out of memory\r\nin Quorvel2021/08/31.Form1.PushButton12_Click at line 100", 0),
              0u);
    EXPECT_TRUE(files.Exists(kLog));
}

}  // namespace
}  // namespace sv
