#include "schedule/scheduler.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "common/error_report.h"

namespace sv {

namespace {

struct IntervalRow {
    std::string_view text;
    std::int32_t seconds;
};

// Every text the interval list may hold; two of them are never offered but still understood.
constexpr std::array<IntervalRow, 12> kIntervals = {{
    {"Save every 30 seconds", 30},
    {"Save every 1 minute", 60},
    {"Save every 5 minutes", 300},
    {"Save every 10 minutes", 600},
    {"Save every 15 minutes", 900},
    {"Save every 20 minutes", 1200},
    {"Save every 30 minutes", 1800},
    {"Save every hour", 3600},
    {"Save every 2 hours", 7200},
    {"Save every 4 hours", 14400},
    {"Save every 8 hours", 28800},
    {"Save every 24 hours", 86400},
}};

constexpr char kToggleLocation[] = "in Quorvel2021/08/31.Form1.PushButton4_Click ";
constexpr char kTestRunLocation[] = "in Quorvel2021/08/31.Form1.PushButton2_Click ";

}  // namespace

std::int32_t IntervalSecondsFor(std::string_view rowText) {
    for (const auto& row : kIntervals) {
        if (row.text == rowText)
            return row.seconds;
    }
    return 0;
}

std::string FormatRemaining(std::int32_t seconds) {
    // The time of day of a (possibly negative) number of days: whole days drop out and a
    // negative value counts from midnight like its absolute value. 64 bits keep -2^31 sound.
    std::int64_t s = seconds;
    if (s < 0)
        s = -s;
    s %= 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60));
    return text;
}

Scheduler::Scheduler(SchedulerView& view, SettingsStore& settings, Dialogs& dialogs,
                     std::function<void(RunCause)> saveAll)
    : view_(view), settings_(settings), dialogs_(dialogs), saveAll_(std::move(saveAll)) {}

std::int32_t Scheduler::IntervalSeconds() {
    auto text = view_.SelectedRowText();
    return text ? IntervalSecondsFor(*text) : 0;
}

void Scheduler::Tick() {
    if (view_.TimerInterval() == 0) {
        view_.SetStatus(kStatusOff);
        return;
    }
    const std::int32_t interval = IntervalSeconds();
    // The count only outgrows the interval while nothing resets it; stop short of overflow.
    if (elapsed_ < std::numeric_limits<std::int32_t>::max())
        ++elapsed_;
    view_.SetProgressMax(interval);
    if (elapsed_ <= interval)
        view_.SetProgressPosition(elapsed_);
    view_.SetStatus(std::string(kStatusOnPrefix) + " " + FormatRemaining(interval - elapsed_));
    if (elapsed_ != interval)
        return;
    if (RunInProgress()) {
        // Due while another run (a test run, or one that started before a list click) is
        // still going: that run's copy is as fresh as this one would be, so skip it.
        elapsed_ = 0;
        return;
    }
    // The count restarts after the run however it ended; one that stayed at the interval
    // would be pushed past it by the next tick and no run would ever fall due again.
    try {
        Run(RunCause::Timer);
    } catch (...) {
        elapsed_ = 0;
        throw;
    }
    elapsed_ = 0;
}

void Scheduler::Toggle() {
    Procedure proc(dialogs_, kToggleLocation);
    if (proc.If(100, [&] { return view_.ToggleCaption() == kCaptionTurnOn; })) {
        proc.Do(102, [&] { view_.SetToggleCaption(kCaptionTurnOff); });
        proc.Do(104, [&] { view_.SetTimerInterval(1000); });
        proc.Do(106, [&] {
            SaveSetting(settings_, kSettingsApp, kSettingsSection, kStartStopStateKey, "On");
        });
    } else if (proc.If(108, [&] { return view_.ToggleCaption() == kCaptionTurnOff; })) {
        proc.Do(110, [&] { view_.SetToggleCaption(kCaptionTurnOn); });
        proc.Do(112, [&] { view_.SetTimerInterval(0); });
        proc.Do(114, [&] {
            SaveSetting(settings_, kSettingsApp, kSettingsSection, kStartStopStateKey, "Off");
        });
        proc.Do(114, [&] { view_.SetStatus(kStatusOff); });
    }
}

void Scheduler::ListClick() {
    // Without a selected row there is nothing to store; the countdown still restarts.
    if (auto row = view_.SelectedRowNumber()) {
        SaveSetting(settings_, kSettingsApp, kSettingsSection, kOftenIndexKey,
                    std::to_string(*row));
    }
    elapsed_ = 0;
}

void Scheduler::TestRun() {
    Procedure proc(dialogs_, kTestRunLocation);
    // A run already going (this click arrived from inside one of its dialogs) has the
    // drawing in hand; a second one would fight it over the clipboard and the temporary copy.
    if (RunInProgress())
        return;
    proc.Do(100, [&] { Run(RunCause::Request); });
}

void Scheduler::Run(RunCause cause) {
    struct Guard {
        bool& state;
        bool previous;
        ~Guard() { state = previous; }
    } guard{running_, std::exchange(running_, true)};
    saveAll_(cause);
}

}  // namespace sv
