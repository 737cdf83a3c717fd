#include "backup/thinning.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "backup/testing/civil_time.h"

namespace sv::backup {
namespace {

// "yyyy-mm-dd hh:mm:ss", or "yyyy-mm-dd" for a one-file-a-day name, read into a stamp.
BackupStamp Read(const std::string& text) {
    BackupStamp s;
    LocalTime& t = s.moment;
    s.dayOnly = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour,
                            &t.minute, &t.second) == 3;
    return s;
}

// A row's candidates: a mark ("+" stays, "-" goes, "=" the backup just written), the moment, and
// optionally " xN/S": N candidates S seconds apart (1 unless given), the newest at that moment.
struct RulesCase {
    std::string name;
    std::vector<std::string> candidates;
    std::string t = "2021-12-07 13:02:30";
};

// Ten more at the second before t's: rule 1 is spent on them, the other rules act alone.
const std::string kTen = "+2021-12-07 13:02:29 x10";

class ThinningTest : public ::testing::TestWithParam<RulesCase> {};

TEST_P(ThinningTest, RemovesWhatNoRuleKeepsAndNothingMoreTheSecondTime) {
    const RulesCase& c = GetParam();
    std::vector<Candidate> candidates;
    std::vector<std::size_t> expected;
    for (const std::string& row : c.candidates) {
        const std::size_t repeat = row.find(" x");
        int count = 1;
        int step = 1;
        if (repeat != std::string::npos) {
            std::sscanf(row.c_str() + repeat, " x%d/%d", &count, &step);
        }
        const BackupStamp newest = Read(row.substr(1, repeat - 1));
        for (int i = 0; i < count; ++i) {
            if (row[0] == '-') {
                expected.push_back(candidates.size());
            }
            candidates.push_back(
                {{testing::Before(newest.moment, std::chrono::seconds(i * step)), newest.dayOnly},
                 row[0] == '='});
        }
    }
    const LocalTime t = Read(c.t).moment;
    const std::vector<std::size_t> removed = NotKept(candidates, t);
    EXPECT_EQ(removed, expected);

    std::vector<Candidate> kept;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (std::find(removed.begin(), removed.end(), i) == removed.end()) {
            kept.push_back(candidates[i]);
        }
    }
    EXPECT_EQ(NotKept(kept, t), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ThinningTest,
    ::testing::Values(
        // The 10th newest stays, the 11th goes.
        RulesCase{"TenNewest", {"+2021-12-07 13:02:29 x10", "-2021-12-07 13:02:19 x2"}},
        RulesCase{"TheBackupJustWrittenStays",
                  {kTen, "=2021-12-07 13:02:00", "-2021-12-07 13:01:00"}},
        // Periods of the clock: 12:54:59 is the last of 12:50 to 12:55, 12:55:00 the first of
        // the next.
        RulesCase{"NewestOfItsFiveMinutes",
                  {kTen, "-2021-12-07 12:51:00", "+2021-12-07 12:54:59", "+2021-12-07 12:55:00"}},
        // Exactly 2 hours before t is within them, a second more is not.
        RulesCase{"TwoHoursToTheSecond", {kTen, "+2021-12-07 11:02:30", "+2021-12-07 11:30:00"}},
        RulesCase{"TwoHoursAndASecond", {kTen, "-2021-12-07 11:02:29", "+2021-12-07 11:30:00"}},
        RulesCase{"NewestOfItsHourFor48Hours",
                  {kTen, "-2021-12-05 13:01:00", "+2021-12-05 13:02:30", "+2021-12-05 20:00:00"}},
        RulesCase{"FortyEightHoursAndASecond",
                  {kTen, "-2021-12-05 13:02:29", "+2021-12-05 20:00:00"}},
        // 8 and 10 October are a Friday and a Sunday of one week.
        RulesCase{"NewestOfItsDayFor60Days",
                  {kTen, "-2021-10-08 09:00:00", "+2021-10-08 13:02:30", "+2021-10-10 12:00:00"}},
        RulesCase{"SixtyDaysAndASecond", {kTen, "-2021-10-08 13:02:29", "+2021-10-10 12:00:00"}},
        // A one-file-a-day name counts as the end of its day: of 8 October, within 60 days.
        RulesCase{
            "ADaysFileIsItsEnd",
            {kTen, "+2021-10-08", "+2021-10-10 12:00:00", "-2021-12-01 23:59:59", "+2021-12-01"}},
        // Sunday 8 August ends a week, Monday 9 August begins one.
        RulesCase{"WeeksRunMondayToSunday",
                  {kTen, "-2021-08-07 12:00:00", "+2021-08-08 12:00:00", "-2021-08-09 08:00:00",
                   "+2021-08-09 09:00:00", "+2021-08-30 12:00:00"}},
        RulesCase{"FiftyTwoWeeksToTheSecond",
                  {kTen, "+2020-12-08 13:02:30", "+2020-12-20 12:00:00"}},
        RulesCase{"FiftyTwoWeeksAndASecond",
                  {kTen, "-2020-12-08 13:02:29", "+2020-12-20 12:00:00"}},
        RulesCase{"NewestOfItsMonthForEver",
                  {kTen, "-2015-03-15 12:00:00", "-2015-03-31 22:00:00", "+2015-03-31 23:00:00",
                   "+2015-04-01 00:00:00"}},
        // A clock set back: what is later than t stays, and the 10 newest are those up to t.
        RulesCase{
            "LaterThanT",
            {"+2021-12-07 14:00:09 x10", "+2021-12-07 13:02:31", kTen, "-2021-12-07 13:02:19 x2"}},
        // Exactly 7 days after the newest of the others thins; a second more removes nothing.
        RulesCase{"SevenDaysAfterTheNewest",
                  {"=2021-12-07 13:02:00", "+2021-11-30 13:02:30 x9", "-2021-11-30 13:02:21"}},
        RulesCase{"MoreThanSevenDaysAfterTheNewest",
                  {"=2021-12-07 13:02:00", "+2021-11-30 13:02:30 x9", "+2021-11-30 13:02:21"},
                  "2021-12-07 13:02:31"},
        // The clock goes back from 02:00 to 01:00: the first 01:15 to 01:55 are later than t.
        RulesCase{
            "DuringAnHourTheClockRepeats",
            {"+2021-11-07 01:55:09 x9/300", "+2021-11-07 01:10:09 x24/300", "-2021-11-06 23:10:09"},
            "2021-11-07 01:10:30"},
        // Both passes of the repeated hour 01, the second's seconds at :39: one stays.
        RulesCase{"AfterAnHourTheClockRepeated",
                  {"-2021-11-07 00:50:09 x11/300", "+2021-11-07 00:55:09",
                   "-2021-11-07 01:55:09 x12/300", "-2021-11-07 01:50:39 x11/300",
                   "+2021-11-07 01:55:39", "-2021-11-07 02:00:09", "+2021-11-07 03:55:09 x23/300"},
                  "2021-11-07 04:00:30"},
        // The clock goes from 02:00 to 03:00: the hour before keeps its newest.
        RulesCase{
            "AfterAnHourTheClockSkipped",
            {"-2021-03-14 00:50:09 x11/300", "+2021-03-14 00:55:09", "-2021-03-14 01:50:09 x11/300",
             "+2021-03-14 01:55:09", "+2021-03-14 03:55:09 x12/300"},
            "2021-03-14 04:00:30"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sv::backup
