#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/automation.h"
#include "backup/clipboard_keeper.h"
#include "check/check_report.h"

namespace sv::check {

// A started instance's process, looked at from outside: never through the instance itself.
class ProcessView {
  public:
    virtual ~ProcessView() = default;
    // Titles of its visible top-level windows.
    virtual std::vector<std::string> VisibleWindows() = 0;
    // True once it has ended, waiting up to `wait` for that.
    virtual bool WaitForExit(std::chrono::milliseconds wait) = 0;
    // From now until Disarm(): a process still running after `patience` is ended, its visible
    // windows noted first. A call that waits on a question nobody sees then fails instead of
    // holding the checks for ever.
    virtual void Arm(std::chrono::milliseconds patience) = 0;
    virtual void Disarm() = 0;
    // The windows it showed when the watch ended it; nothing while the watch has not.
    virtual std::optional<std::vector<std::string>> EndedShowing() = 0;
};

// What the checks need from the system around the application.
class CheckHost {
  public:
    virtual ~CheckHost() = default;
    // The ids of every process running now.
    virtual std::set<std::uint32_t> ProcessIds() = 0;
    // That process, held from now on so that a reused id never matters; nothing when gone.
    virtual std::unique_ptr<ProcessView> OpenProcess(std::uint32_t id) = 0;
    // An empty folder of the checks' own; the host removes it with its files when it goes.
    virtual std::string ScratchFolder() = 0;
    // The file's bytes, or nothing when there is no such file.
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    // Keeps the user's clipboard across the checks' own copy and paste.
    virtual backup::ClipboardKeeper& Clipboard() = 0;
    // Lets that much time pass.
    virtual void Pause(std::chrono::milliseconds wait) = 0;
};

// How long one check may take before its instances are taken to hang: well past the link's
// patience with a busy application.
inline constexpr std::chrono::milliseconds kCheckPatience{60000};

// Starts two temporary instances and checks, in drawings of their own, each belief the
// backup run holds about the application. Both instances are ended before it returns,
// whatever happened, and the clipboard is put back.
CheckReport RunChecks(backup::DrawingLink& link, CheckHost& host);

}  // namespace sv::check
