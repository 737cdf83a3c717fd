#include "common/helpers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"

namespace sv {
namespace {

struct CleanCase {
    const char* text;
    const char* clean;
};

class CleanFileNameTest : public testing::TestWithParam<CleanCase> {};

TEST_P(CleanFileNameTest, RemovesTheTwentyFiveCharactersOnly) {
    EXPECT_EQ(CleanFileName(GetParam().text), GetParam().clean);
}

INSTANTIATE_TEST_SUITE_P(Texts, CleanFileNameTest,
                         testing::Values(CleanCase{"$/\\*:?<>|#' .,\"()-+=%;}{\t", ""},
                                         CleanCase{"Stenvault", "Stenvault"},
                                         CleanCase{"my_file 2.txt", "my_file2txt"},
                                         CleanCase{"a{b}c\td", "abcd"},
                                         CleanCase{"a@b!c~d&e[f]", "a@b!c~d&e[f]"},
                                         CleanCase{"C:\\x\\y (copy)", "Cxycopy"}, CleanCase{"", ""},
                                         CleanCase{"caf\xC3\xA9", "caf\xC3\xA9"}));

struct DropCase {
    const char* name;
    const char* word;
    const char* result;
};

class DropLastWordTest : public testing::TestWithParam<DropCase> {};

TEST_P(DropLastWordTest, DropsOnlyTheMatchingLastWord) {
    EXPECT_EQ(DropLastWord(GetParam().name, GetParam().word), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DropLastWordTest,
    testing::Values(DropCase{"Stenvault", "Software", "Stenvault"},
                    DropCase{"Stenvault Software", "Software", "Stenvault"},
                    DropCase{" Big  Stenvault   Software", "Software", "Big  Stenvault"},
                    DropCase{"Stenvault Software ", "Software", "Stenvault Software "},
                    DropCase{"Stenvault software", "Software", "Stenvault software"},
                    DropCase{"Stenvault Software Pro", "Software", "Stenvault Software Pro"},
                    DropCase{"Stenvault Pro", "", "Stenvault"},
                    DropCase{"Stenvault", "", "Stenvault"},
                    DropCase{"Software", "Software", "Software"}));

struct TitleCase {
    const char* name;
    const char* title;
};

class SetApplicationTitleTest : public testing::TestWithParam<TitleCase> {};

TEST_P(SetApplicationTitleTest, CutsTheLastWordAtLeastOnceThenDownToForty) {
    EXPECT_EQ(SetApplicationTitle(GetParam().name), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SetApplicationTitleTest,
    testing::Values(TitleCase{"Stenvault", "Stenvault"},
                    TitleCase{"Stenvault Backup Software", "Stenvault Backup"},  // 25 characters
                    TitleCase{"Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Eeeeeeeeee Ff",
                              "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc"},
                    TitleCase{"Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa Bb",
                              "Aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}));

struct FakeFiles : FileSystem {
    bool exists = false;
    bool ordinary = false;
    bool throws = false;
    std::string askedOrdinary;
    bool Exists(const std::string&) override {
        if (throws)
            throw Failure("Bad file name or number");
        return exists;
    }
    bool IsOrdinaryFile(const std::string& path) override {
        askedOrdinary = path;
        return ordinary;
    }
    void AppendText(const std::string&, const std::string&) override {}
    std::string ReadText(const std::string&) override { return {}; }
    bool DeletePlain(const std::string&) override { return false; }
    bool DeleteForced(const std::string&) override { return false; }
    void MoveOver(const std::string&, const std::string&) override {}
    std::vector<FolderEntry> ListFolder(const std::string&) override { return {}; }
    bool RemoveUnused(const std::string&, Removal) override { return false; }
    std::string ProgramFolder() override { return "C:\\Program Files\\Stenvault"; }
};

TEST(FileExists, AnyProblemReadsAsMissing) {
    FakeFiles files;
    files.exists = true;
    EXPECT_TRUE(FileExists(files, "C:\\a"));
    files.throws = true;
    EXPECT_FALSE(FileExists(files, "Q:\\a"));
}

struct FakeShell : ShellFolders {
    std::optional<std::string> desktop;
    std::optional<std::string> SpecialFolderPath(int folder) override {
        return folder == kDesktopFolder ? desktop : std::nullopt;
    }
};

TEST(GetDesktopFolder, AppendsABackslashAndFailsWhenTheShellRefuses) {
    FakeShell shell;
    shell.desktop = "C:\\Users\\a\\Desktop";
    EXPECT_EQ(GetDesktopFolder(shell), "C:\\Users\\a\\Desktop\\");
    EXPECT_EQ(GetSpecialFolder(shell, 5), "");
    shell.desktop.reset();
    EXPECT_THROW(GetDesktopFolder(shell), Failure);
}

struct FakeRandom : RandomSource {
    double r = 0;
    double SeededDraw() override { return r; }
};

struct FakeLauncher : Launcher {
    std::vector<std::pair<std::string, WindowShow>> started;
    void Start(const std::string& line, WindowShow show) override {
        started.emplace_back(line, show);
    }
};

struct DrawCase {
    double r;
    bool opens;
};

class MaybeOpenHomePageTest : public testing::TestWithParam<DrawCase> {};

TEST_P(MaybeOpenHomePageTest, OpensOnlyWhenTheDrawGivesSeven) {
    FakeRandom random;
    random.r = GetParam().r;
    FakeLauncher launcher;
    MaybeOpenHomePage(random, launcher);
    if (!GetParam().opens) {
        EXPECT_TRUE(launcher.started.empty()) << GetParam().r;
        return;
    }
    ASSERT_EQ(launcher.started.size(), 1u);
    EXPECT_EQ(launcher.started[0].first, "explorer \"https://www.veltrane.com/stenvault\"");
    EXPECT_EQ(launcher.started[0].second, WindowShow::MinimizedFocused);
}

INSTANTIATE_TEST_SUITE_P(Draws, MaybeOpenHomePageTest,
                         testing::Values(DrawCase{0.06, true}, DrawCase{0.0699, true},
                                         DrawCase{0.0599, false}, DrawCase{0.07, false},
                                         DrawCase{0.0, false}, DrawCase{0.9999, false}));

struct RecordingSkin : SkinHost {
    std::vector<std::string> calls;
    void SetButtonFaceBackground() override { calls.push_back("background"); }
    void LoadSkin(const std::string& path, const std::string& ini) override {
        calls.push_back("load " + path + "|" + ini);
    }
    std::int32_t SkinOptions() override { return 6; }
    void SetSkinOptions(std::int32_t options) override {
        calls.push_back("options " + std::to_string(options));
    }
    void SetSkinFlag(int property, bool value) override {
        calls.push_back("flag " + std::to_string(property) + (value ? " on" : " off"));
    }
    void ApplyToWindow() override { calls.push_back("apply"); }
};

TEST(ApplySkin, OrdinaryFileIsLoadedAndApplied) {
    FakeFiles files;
    files.ordinary = true;
    RecordingSkin skin;
    ApplySkin(files, skin);
    EXPECT_EQ(files.askedOrdinary, "C:\\Program Files\\Stenvault\\x\\o.cjs");
    EXPECT_EQ(skin.calls, (std::vector<std::string>{
                              "background", "load C:\\Program Files\\Stenvault\\x\\o.cjs|",
                              "options 7", "flag 5 on", "flag 10 on", "apply"}));
}

// exists: something of the skin file's name is there; ordinary: it is a plain file.
struct SkinCase {
    const char* name;
    bool exists;
    bool ordinary;
    bool applied;
};

class ApplySkinTest : public testing::TestWithParam<SkinCase> {};

TEST_P(ApplySkinTest, TakesOnlyAnOrdinaryFileBesideTheProgram) {
    FakeFiles files;
    files.exists = GetParam().exists;
    files.ordinary = GetParam().ordinary;
    RecordingSkin skin;
    ApplySkin(files, skin);
    EXPECT_EQ(files.askedOrdinary, "C:\\Program Files\\Stenvault\\x\\o.cjs");
    EXPECT_EQ(!skin.calls.empty(), GetParam().applied);
}

INSTANTIATE_TEST_SUITE_P(Files, ApplySkinTest,
                         testing::Values(SkinCase{"OrdinaryFile", true, true, true},
                                         // A folder named like the skin file is no skin.
                                         SkinCase{"Folder", true, false, false},
                                         SkinCase{"Nothing", false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv
