#include "backup/naming.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "backup/backup_names.h"
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

// The names found beside the backups of "Plan.vsdx": the moment of each that is one of them.
struct NameCase {
    std::string file;
    std::string moment;  // "2021-12-07 13:05:09"; a one-file-a-day name's date alone; "" for none
    bool oneMarker = false;  // a locale with one marker for both halves of the day
};

class BackupNamesTest : public ::testing::TestWithParam<NameCase> {};

struct OneMarkerLocale : EnglishLocale {
    std::string TimeMarker(bool) override { return "h"; }
};

TEST_P(BackupNamesTest, ReadsBackExactlyWhatTheStampWrites) {
    const NameCase& c = GetParam();
    EnglishLocale english;
    OneMarkerLocale oneMarker;
    Locale& locale = c.oneMarker ? static_cast<Locale&>(oneMarker) : english;
    const std::optional<BackupStamp> stamp = BackupNames("Plan.vsdx", ".vsd", locale).Parse(c.file);
    std::string moment;
    if (stamp) {
        const LocalTime& t = stamp->moment;
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
        moment = std::string(text).substr(0, stamp->dayOnly ? 10 : 19);
        FakeClock clock;
        clock.times = {t};
        EXPECT_EQ(
            StampName("Plan.vsdx", stamp->dayOnly ? NamingMode::Overwrite : NamingMode::NewFile,
                      clock, locale, ".vsd"),
            c.file);
    }
    EXPECT_EQ(moment, c.moment);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BackupNamesTest,
    ::testing::Values(
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 05 09 PM.vsd", "2021-12-07 13:05:09"},
        NameCase{"Plan.vsdx Dec 7 2021.vsd", "2021-12-07"},
        NameCase{"Plan.vsdx Date Mar 1 2021 Time 12 30 00 AM.vsd", "2021-03-01 00:30:00"},
        NameCase{"Plan.vsdx Date Mar 1 2021 Time 12 00 00 PM.vsd", "2021-03-01 12:00:00"},
        NameCase{"Plan.vsdx Date Dec 31 0999 Time 11 59 59 PM.vsd", "0999-12-31 23:59:59"},
        NameCase{"Plan.vsdx Feb 29 2020.vsd", "2020-02-29"},
        NameCase{"Plan.vsdx Feb 29 2021.vsd", ""}, NameCase{"Plan.vsdx Feb 30 2020.vsd", ""},
        NameCase{"Plan.vsdx Date Apr 31 2021 Time 01 05 09 PM.vsd", ""},
        // Another drawing's, and names with something before, after or between the parts.
        NameCase{"Plan.vsdx.bak Dec 7 2021.vsd", ""}, NameCase{"Plan Dec 7 2021.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021.vsd", ""},
        NameCase{"Copy of Plan.vsdx Dec 7 2021.vsd", ""},
        NameCase{"Plan.vsdx Dec 7 2021 (2).vsd", ""}, NameCase{"Plan.vsdx Dec 7 2021.vsd.vsd", ""},
        NameCase{"Plan.vsdx Dec 7 2021.vsd ", ""}, NameCase{"Plan.vsdx  Dec 7 2021.vsd", ""},
        NameCase{"Plan.vsdx Dec 7 2021 Time 01 05 09 PM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 05 09 PM Dec 7 2021.vsd", ""},
        // Fields written otherwise than the stamp writes them.
        NameCase{"Plan.vsdx Dec 07 2021.vsd", ""}, NameCase{"Plan.vsdx Dec 7 21.vsd", ""},
        NameCase{"Plan.vsdx Dec 7 02021.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 1 05 09 PM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 13 05 09 PM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 00 05 09 AM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 60 09 PM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 05 60 PM.vsd", ""},
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 05 09 pm.vsd", ""},
        // Case as written, and another language's month.
        NameCase{"plan.vsdx Dec 7 2021.vsd", ""}, NameCase{"Plan.vsdx DEC 7 2021.vsd", ""},
        NameCase{"Plan.vsdx Dec 7 2021.VSD", ""}, NameCase{"Plan.vsdx Dez 7 2021.vsd", ""},
        // The run's own unfinished file and the drawing itself.
        NameCase{"~Stenvault unfinished 12345.vsd", ""}, NameCase{"Plan.vsdx", ""},
        // One marker for morning and afternoon: a time cannot be read, a date can.
        NameCase{"Plan.vsdx Date Dec 7 2021 Time 01 05 09 h.vsd", "", true},
        NameCase{"Plan.vsdx Dec 7 2021.vsd", "2021-12-07", true}));

}  // namespace
}  // namespace sv::backup
