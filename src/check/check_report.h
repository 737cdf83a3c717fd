#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sv::check {

enum class Outcome { Pass, Fail, Unknown };

// One belief about the drawing application, as found: the member it rests on and why.
struct CheckLine {
    Outcome outcome = Outcome::Unknown;
    std::string member;
    std::string reason;
};

// What a whole check run found.
struct CheckReport {
    // False when not even one instance could be started: nothing else could be looked at.
    bool started = false;
    std::vector<CheckLine> lines;
    std::string version;  // the application's Version and Build, empty when not read
    std::string build;
};

inline constexpr std::string_view kFirstLine =
    "stenvault-check works only in temporary Visio instances it starts itself: it never "
    "attaches to, reads or changes your running Visio or your drawings.";

// The text a user pastes into a bug report: the first line, one line per check, the summary.
std::string FormatReport(const CheckReport& report);

// 0 when nothing failed, 1 when a check failed, 2 when the application could not be started.
int ExitCode(const CheckReport& report);

}  // namespace sv::check
