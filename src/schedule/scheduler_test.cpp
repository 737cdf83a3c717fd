#include "schedule/scheduler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "settings/memory_settings_store.h"

namespace sv {
namespace {

struct FakeView : SchedulerView {
    std::string caption = kCaptionTurnOff;
    int timer = 1000;
    std::string status = kStatusOnPrefix;
    int max = 100;
    int position = 0;
    std::optional<int> row = 3;
    bool failCaption = false;

    std::string ToggleCaption() override {
        if (failCaption)
            throw Failure("Object required");
        return caption;
    }
    void SetToggleCaption(const std::string& text) override { caption = text; }
    int TimerInterval() override { return timer; }
    void SetTimerInterval(int ms) override { timer = ms; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetProgressMax(int m) override { max = m; }
    void SetProgressPosition(int p) override { position = p; }
    std::optional<std::string> SelectedRowText() override {
        if (!row)
            return std::nullopt;
        return std::string(kIntervalRows[*row - 1]);
    }
    std::optional<int> SelectedRowNumber() override { return row; }

    std::string Remaining() const { return status.substr(std::string(kStatusOnPrefix).size() + 1); }
};

struct RecordingDialogs : Dialogs {
    std::vector<std::string> texts;
    int ShowMessage(const std::string& text, const std::string&, unsigned) override {
        texts.push_back(text);
        return mb::kIdOk;
    }
    std::string BrowseForFolder(WindowHandle, const std::string&, const std::string&) override {
        return {};
    }
};

class SchedulerTest : public testing::Test {
  protected:
    FakeView view;
    MemorySettingsStore store;
    RecordingDialogs dialogs;
    int runs = 0;
    std::function<void()> duringRun;
    std::vector<RunCause> causes;
    Scheduler scheduler{view, store, dialogs, [this](RunCause cause) {
                            ++runs;
                            causes.push_back(cause);
                            if (duringRun)
                                duringRun();
                        }};

    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            scheduler.Tick();
    }
};

struct IntervalCase {
    const char* text;
    std::int32_t seconds;
};

class IntervalSecondsTest : public testing::TestWithParam<IntervalCase> {};

TEST_P(IntervalSecondsTest, ExactTextGivesItsSecondsAndAnythingElseZero) {
    EXPECT_EQ(IntervalSecondsFor(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IntervalSecondsTest,
    testing::Values(
        IntervalCase{"Save every 30 seconds", 30}, IntervalCase{"Save every 1 minute", 60},
        IntervalCase{"Save every 5 minutes", 300}, IntervalCase{"Save every 10 minutes", 600},
        IntervalCase{"Save every 15 minutes", 900}, IntervalCase{"Save every 20 minutes", 1200},
        IntervalCase{"Save every 30 minutes", 1800}, IntervalCase{"Save every hour", 3600},
        IntervalCase{"Save every 2 hours", 7200}, IntervalCase{"Save every 4 hours", 14400},
        IntervalCase{"Save every 8 hours", 28800}, IntervalCase{"Save every 24 hours", 86400},
        IntervalCase{"save every hour", 0}, IntervalCase{"Save every hour ", 0},
        IntervalCase{"", 0}));

// Row numbers are what "OftenIndex" stores: each row's place, text and seconds are fixed.
struct ListRowCase {
    std::size_t row;
    const char* text;
    std::int32_t seconds;
};

class IntervalListRow : public testing::TestWithParam<ListRowCase> {};

TEST_P(IntervalListRow, HoldsItsTextAndSeconds) {
    ASSERT_EQ(kIntervalRows.size(), 10u);
    const ListRowCase& c = GetParam();
    EXPECT_EQ(kIntervalRows[c.row - 1], c.text);
    EXPECT_EQ(IntervalSecondsFor(kIntervalRows[c.row - 1]), c.seconds);
}

INSTANTIATE_TEST_SUITE_P(Rows, IntervalListRow,
                         testing::Values(ListRowCase{1, "Save every 30 seconds", 30},
                                         ListRowCase{2, "Save every 1 minute", 60},
                                         ListRowCase{3, "Save every 5 minutes", 300},
                                         ListRowCase{4, "Save every 15 minutes", 900},
                                         ListRowCase{5, "Save every 30 minutes", 1800},
                                         ListRowCase{6, "Save every hour", 3600},
                                         ListRowCase{7, "Save every 2 hours", 7200},
                                         ListRowCase{8, "Save every 4 hours", 14400},
                                         ListRowCase{9, "Save every 8 hours", 28800},
                                         ListRowCase{10, "Save every 24 hours", 86400}),
                         [](const auto& info) { return "Row" + std::to_string(info.param.row); });

struct RemainingCase {
    std::int32_t seconds;
    const char* text;
};

class FormatRemainingTest : public testing::TestWithParam<RemainingCase> {};

TEST_P(FormatRemainingTest, WrapsDailyAndShowsAbsoluteValue) {
    EXPECT_EQ(FormatRemaining(GetParam().seconds), GetParam().text) << GetParam().seconds;
}

INSTANTIATE_TEST_SUITE_P(
    Seconds, FormatRemainingTest,
    testing::Values(RemainingCase{0, "00:00:00"}, RemainingCase{299, "00:04:59"},
                    RemainingCase{86399, "23:59:59"}, RemainingCase{86400, "00:00:00"},
                    RemainingCase{90061, "01:01:01"}, RemainingCase{-5, "00:00:05"},
                    RemainingCase{-86401, "00:00:01"}, RemainingCase{2147483647, "03:14:07"},
                    RemainingCase{-2147483647 - 1, "03:14:08"}));

TEST_F(SchedulerTest, ThirtySecondRowRunsOnTheThirtiethTickAndStartsOver) {
    view.row = 1;
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "00:00:29");
    EXPECT_EQ(view.max, 30);
    EXPECT_EQ(view.position, 1);
    Ticks(28);
    EXPECT_EQ(runs, 0);
    scheduler.Tick();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(view.Remaining(), "00:00:00");
    EXPECT_EQ(view.position, 30);
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "00:00:29");
}

TEST_F(SchedulerTest, DayRowShowsItsFullLengthAndRunsOnTick86400) {
    view.row = 10;
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "23:59:59");
    Ticks(86398);
    EXPECT_EQ(runs, 0);
    scheduler.Tick();
    EXPECT_EQ(runs, 1);
}

TEST_F(SchedulerTest, OffAndOnKeepsTheCount) {
    Ticks(100);
    scheduler.Toggle();
    EXPECT_EQ(view.caption, kCaptionTurnOn);
    EXPECT_EQ(view.timer, 0);
    EXPECT_EQ(view.status, kStatusOff);
    EXPECT_EQ(store.Value(kStartStopStateKey), "Off");
    EXPECT_EQ(view.position, 100);
    scheduler.Tick();  // a tick already queued when the timer stopped
    EXPECT_EQ(view.status, kStatusOff);
    scheduler.Toggle();
    EXPECT_EQ(view.caption, kCaptionTurnOff);
    EXPECT_EQ(view.timer, 1000);
    EXPECT_EQ(store.Value(kStartStopStateKey), "On");
    EXPECT_EQ(view.status, kStatusOff);  // turning on leaves the line to the next tick
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "00:03:19");
    EXPECT_TRUE(dialogs.texts.empty());
}

TEST_F(SchedulerTest, ToggleWithAStrangeCaptionChangesNothing) {
    view.caption = "Something else";
    scheduler.Toggle();
    EXPECT_EQ(view.caption, "Something else");
    EXPECT_EQ(view.timer, 1000);
    EXPECT_TRUE(store.Values().empty());
}

TEST_F(SchedulerTest, UnreadableCaptionIsReportedAndTurnsSavingOn) {
    view.failCaption = true;
    view.timer = 0;
    scheduler.Toggle();
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_NE(dialogs.texts[0].find("in Quorvel2021/08/31.Form1.PushButton4_Click at line 100"),
              std::string::npos);
    EXPECT_EQ(view.timer, 1000);
    EXPECT_EQ(store.Value(kStartStopStateKey), "On");
}

TEST_F(SchedulerTest, ListClickStoresTheRowAndRestartsTheCount) {
    Ticks(50);
    view.row = 3;
    scheduler.ListClick();
    EXPECT_EQ(store.Value(kOftenIndexKey), "3");
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "00:04:59");
}

TEST_F(SchedulerTest, ListClickWhileOffCountsTheNewRowFromTheStart) {
    Ticks(10);
    scheduler.Toggle();
    view.row = 10;
    scheduler.ListClick();
    EXPECT_EQ(store.Value(kOftenIndexKey), "10");
    scheduler.Toggle();
    scheduler.Tick();
    EXPECT_EQ(view.Remaining(), "23:59:59");
}

TEST_F(SchedulerTest, NoSelectedRowNeitherStoresNorRuns) {
    Ticks(10);
    view.row.reset();
    scheduler.ListClick();
    EXPECT_TRUE(store.Values().empty());
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
    Ticks(5);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(scheduler.IntervalSeconds(), 0);
    EXPECT_EQ(view.max, 0);
}

TEST_F(SchedulerTest, TicksDuringATickStartedRunCountPastWithoutASecondRun) {
    view.row = 1;
    std::vector<std::string> shown;
    duringRun = [&] {
        for (int i = 0; i < 3; ++i) {
            scheduler.Tick();
            shown.push_back(view.Remaining());
        }
        EXPECT_EQ(view.position, 30);
    };
    Ticks(30);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(shown, (std::vector<std::string>{"00:00:01", "00:00:02", "00:00:03"}));
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
    EXPECT_FALSE(scheduler.RunInProgress());
}

TEST_F(SchedulerTest, RunFallingDueDuringAnotherRunIsSkippedAndTheCountStartsOver) {
    view.row = 1;
    Ticks(25);
    // A test run whose dialog stays open for ten ticks: the interval falls due inside it.
    duringRun = [&] {
        duringRun = nullptr;
        EXPECT_TRUE(scheduler.RunInProgress());
        Ticks(10);
    };
    scheduler.TestRun();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scheduler.ElapsedSeconds(), 5);
    Ticks(25);
    EXPECT_EQ(runs, 2);
}

TEST_F(SchedulerTest, ListClickDuringARunCannotStartAnOverlappingOne) {
    view.row = 1;
    duringRun = [&] {
        duringRun = nullptr;
        scheduler.ListClick();
        Ticks(30);
    };
    Ticks(30);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
}

TEST_F(SchedulerTest, TestRunLeavesTheCountdownAndIsIgnoredDuringARun) {
    Ticks(7);
    std::string status = view.status;
    scheduler.TestRun();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scheduler.ElapsedSeconds(), 7);
    EXPECT_EQ(view.status, status);
    duringRun = [&] { scheduler.TestRun(); };
    scheduler.TestRun();
    view.row = 1;
    scheduler.ListClick();
    Ticks(30);
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(causes,
              (std::vector<RunCause>{RunCause::Request, RunCause::Request, RunCause::Timer}));
}

TEST_F(SchedulerTest, FailingRunIsReportedByTheTestButtonAndStillResetsTheTickCount) {
    duringRun = [] { throw Failure("Automation error"); };
    scheduler.TestRun();
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_EQ(
        dialogs.texts[0].rfind(
            "Automation error\r\nin Quorvel2021/08/31.Form1.PushButton2_Click at line 100", 0),
        0u);
    EXPECT_FALSE(scheduler.RunInProgress());
    view.row = 1;
    Ticks(29);
    EXPECT_THROW(scheduler.Tick(), Failure);
    EXPECT_EQ(scheduler.ElapsedSeconds(), 0);
    EXPECT_FALSE(scheduler.RunInProgress());
}

TEST_F(SchedulerTest, CountPastAShorterRowDoesNotRunUntilAClick) {
    Ticks(40);
    view.row = 1;  // changed without a click, as the keyboard does
    Ticks(3);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(view.Remaining(), "00:00:13");
    scheduler.ListClick();
    Ticks(30);
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace sv
