#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/dialogs.h"
#include "common/run_cause.h"
#include "settings/settings_store.h"

namespace sv {

// The controls the scheduler reads and drives; the main window implements it.
class SchedulerView {
  public:
    virtual ~SchedulerView() = default;
    // PushButton4: "Turn Off Backup Save" while saving is on, "Turn On Backup Save" while off.
    virtual std::string ToggleCaption() = 0;
    virtual void SetToggleCaption(const std::string& text) = 0;
    // Timer1: 1000 while saving is on, 0 while it is off.
    virtual int TimerInterval() = 0;
    virtual void SetTimerInterval(int milliseconds) = 0;
    // Frame2's caption, the status line.
    virtual void SetStatus(const std::string& text) = 0;
    // ProgressBar1 (minimum 0).
    virtual void SetProgressMax(int maximum) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // ListView1's selected row: its text and its 1-based number; nothing without a selection.
    virtual std::optional<std::string> SelectedRowText() = 0;
    virtual std::optional<int> SelectedRowNumber() = 0;
};

// The rows of the interval list, in list order (row 1 first).
inline constexpr std::array<std::string_view, 10> kIntervalRows = {
    "Save every 30 seconds", "Save every 1 minute", "Save every 5 minutes", "Save every 15 minutes",
    "Save every 30 minutes", "Save every hour",     "Save every 2 hours",   "Save every 4 hours",
    "Save every 8 hours",    "Save every 24 hours",
};

inline constexpr char kCaptionTurnOn[] = "Turn On Backup Save";
inline constexpr char kCaptionTurnOff[] = "Turn Off Backup Save";
inline constexpr char kStatusOnPrefix[] = "On. Next backup save will occur in";
inline constexpr char kStatusOff[] = "Auto Save is Off.";
inline constexpr char kStatusTurnedOff[] = "Auto Save is Turned Off.";
inline constexpr char kOftenIndexKey[] = "OftenIndex";
inline constexpr char kStartStopStateKey[] = "StartStopState";

// Seconds for an interval row text (exact, case-sensitive match); 0 for any other text.
std::int32_t IntervalSecondsFor(std::string_view rowText);

// "hh:mm:ss" of a number of seconds, wrapping every 24 hours; a negative count shows its
// absolute value.
std::string FormatRemaining(std::int32_t seconds);

// The countdown that starts backup runs, and the toggle, list and test-run handlers.
class Scheduler {
  public:
    Scheduler(SchedulerView& view, SettingsStore& settings, Dialogs& dialogs,
              std::function<void(RunCause)> saveAll);

    // Timer1's tick.
    void Tick();
    // PushButton4's click: switches saving on or off.
    void Toggle();
    // ListView1's click: stores the selected row and restarts the countdown. Throws Failure
    // when the row cannot be stored.
    void ListClick();
    // PushButton2's click: a backup run at once, outside the countdown.
    void TestRun();

    std::int32_t ElapsedSeconds() const { return elapsed_; }
    // True while a backup run started here has not returned.
    bool RunInProgress() const { return running_; }
    // Interval of the selected row, 0 without one.
    std::int32_t IntervalSeconds();

  private:
    void Run(RunCause cause);

    SchedulerView& view_;
    SettingsStore& settings_;
    Dialogs& dialogs_;
    std::function<void(RunCause)> saveAll_;
    std::int32_t elapsed_ = 0;
    bool running_ = false;
};

}  // namespace sv
