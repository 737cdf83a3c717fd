#include "backup/naming.h"

#include <gtest/gtest.h>

#include "backup/testing/fakes.h"

namespace sv::backup {
namespace {

using testing::EnglishLocale;
using testing::FakeClock;

struct FixCase {
    std::string in;
    std::string once;
    std::string twice;
};

class FixBackslashesTest : public ::testing::TestWithParam<FixCase> {};

TEST_P(FixBackslashesTest, CleansOnceAndTwice) {
    const FixCase& c = GetParam();
    EXPECT_EQ(FixBackslashes(c.in), c.once);
    EXPECT_EQ(FixBackslashes(FixBackslashes(c.in)), c.twice);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FixBackslashesTest,
    ::testing::Values(FixCase{"", "", ""},
                      FixCase{"C:\\Plans\\\\A.vsd", "C:\\Plans\\A.vsd", "C:\\Plans\\A.vsd"},
                      FixCase{"a\\\\\\b", "a\\\\b", "a\\b"},                        // 3 -> 2 -> 1
                      FixCase{"a\\\\\\\\b", "a\\\\b", "a\\b"},                      // 4 -> 2 -> 1
                      FixCase{"a\\\\\\\\\\b", "a\\\\\\b", "a\\\\b"},                // 5 -> 3 -> 2
                      FixCase{"a\\\\\\\\\\\\\\\\b", "a\\\\\\\\b", "a\\\\b"},        // 8 -> 4 -> 2
                      FixCase{"a\\\\\\\\\\\\\\\\\\b", "a\\\\\\\\\\b", "a\\\\\\b"},  // 9 -> 5 -> 3
                      FixCase{"\\", "\\\\", "\\\\"}, FixCase{std::string(7, '\\'), "\\\\", "\\\\"},
                      FixCase{"\\Drawing1", "\\\\Drawing1", "\\\\Drawing1"},
                      FixCase{"\\\\\\\\srv\\\\share", "\\\\srv\\share", "\\\\srv\\share"},
                      FixCase{"no backslash", "no backslash", "no backslash"},
                      FixCase{"trailing\\\\", "trailing\\", "trailing\\"}));

struct StampCase {
    std::string folder;
    std::string name;
    LocalTime moment;
    NamingMode mode;
    std::string expected;
};

class StampNameTest : public ::testing::TestWithParam<StampCase> {};

// The path the backup run forms: join, clean twice, stamp.
TEST_P(StampNameTest, FormsTheBackupPath) {
    const StampCase& c = GetParam();
    FakeClock clock;
    clock.times = {c.moment};
    EnglishLocale locale;
    std::string joined = FixBackslashes(FixBackslashes(c.folder + "\\" + c.name));
    EXPECT_EQ(StampName(joined, c.mode, clock, locale, ".vsd"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, StampNameTest,
    ::testing::Values(StampCase{"C:\\Plans\\",
                                "Floorplan.vsdx",
                                {2021, 12, 7, 13, 5, 9},
                                NamingMode::NewFile,
                                "C:\\Plans\\Floorplan.vsdx Date Dec 7 2021 Time 01 05 09 PM.vsd"},
                      StampCase{"C:\\Plans\\",
                                "Floorplan.vsdx",
                                {2021, 12, 7, 13, 5, 9},
                                NamingMode::Overwrite,
                                "C:\\Plans\\Floorplan.vsdx Dec 7 2021.vsd"},
                      StampCase{"D:\\Backups",
                                "Drawing1",
                                {2021, 3, 1, 0, 30, 0},
                                NamingMode::NewFile,
                                "D:\\Backups\\Drawing1 Date Mar 1 2021 Time 12 30 00 AM.vsd"},
                      StampCase{"\\\\server\\share\\Plans\\",
                                "Site.vsd",
                                {2021, 12, 7, 9, 0, 0},
                                NamingMode::Overwrite,
                                "\\\\server\\share\\Plans\\Site.vsd Dec 7 2021.vsd"},
                      StampCase{"D:\\Backups",
                                "Drawing1",
                                {2021, 3, 1, 12, 0, 0},
                                NamingMode::NewFile,
                                "D:\\Backups\\Drawing1 Date Mar 1 2021 Time 12 00 00 PM.vsd"},
                      StampCase{"D:\\Backups",
                                "Drawing1",
                                {2021, 3, 1, 23, 59, 59},
                                NamingMode::NewFile,
                                "D:\\Backups\\Drawing1 Date Mar 1 2021 Time 11 59 59 PM.vsd"},
                      StampCase{
                          "D:\\Backups", "Drawing1", {2021, 3, 1, 9, 0, 0}, NamingMode::None, ""}));

TEST(StampNameTest, NewFileReadsTheClockTwiceDateThenTime) {
    FakeClock clock;
    // The run straddles midnight: the date comes from the first reading, the time from the second.
    clock.times = {{2021, 12, 31, 23, 59, 59}, {2022, 1, 1, 0, 0, 0}};
    EnglishLocale locale;
    EXPECT_EQ(StampName("X", NamingMode::NewFile, clock, locale, ".vsd"),
              "X Date Dec 31 2021 Time 12 00 00 AM.vsd");
    EXPECT_EQ(clock.reads, 2);
}

// What an ended run left, told apart from everything else in the folder.
struct LeftoverCase {
    const char* name;
    FolderEntry entry;
    bool removed;
};

class LeftoversTest : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(LeftoversTest, OnlyAnOldFileOfExactlyThatNameGoes) {
    const std::vector<std::string> names = Leftovers({GetParam().entry}, ".vsd");
    EXPECT_EQ(names, GetParam().removed ? std::vector<std::string>{GetParam().entry.name}
                                        : std::vector<std::string>{});
}

constexpr std::int64_t kTwoHours = 7200;

INSTANTIATE_TEST_SUITE_P(
    Entries, LeftoversTest,
    ::testing::Values(
        LeftoverCase{"TwoHoursOld", {UnfinishedName(1702, ".vsd"), false, false, kTwoHours}, true},
        LeftoverCase{"JustWritten", {UnfinishedName(1702, ".vsd"), false, false, 5}, false},
        LeftoverCase{"AnHourOld", {UnfinishedName(1702, ".vsd"), false, false, 3600}, false},
        LeftoverCase{"AFolder", {UnfinishedName(1702, ".vsd"), true, false, kTwoHours}, false},
        LeftoverCase{"ReadOnly", {UnfinishedName(1702, ".vsd"), false, true, kTwoHours}, false},
        LeftoverCase{
            "NotDigits", {"~Stenvault unfinished 17a2.vsd", false, false, kTwoHours}, false},
        LeftoverCase{"NoNumber", {"~Stenvault unfinished .vsd", false, false, kTwoHours}, false},
        LeftoverCase{
            "OtherCase", {"~stenvault unfinished 1702.vsd", false, false, kTwoHours}, false},
        LeftoverCase{
            "OtherExtension", {UnfinishedName(1702, ".vsdx"), false, false, kTwoHours}, false},
        LeftoverCase{
            "Prefixed", {"x" + UnfinishedName(1702, ".vsd"), false, false, kTwoHours}, false},
        LeftoverCase{"ABackup", {"Plan.vsd Dec 7 2021.vsd", false, false, kTwoHours}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::backup
