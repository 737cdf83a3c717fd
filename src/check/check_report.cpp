#include "check/check_report.h"

#include <algorithm>

namespace sv::check {
namespace {

std::string_view Word(Outcome outcome) {
    switch (outcome) {
        case Outcome::Pass:
            return "PASS";
        case Outcome::Fail:
            return "FAIL";
        case Outcome::Unknown:
            break;
    }
    return "UNKNOWN";
}

std::string Padded(std::string_view text, std::size_t width) {
    std::string out(text);
    out.append(width > out.size() ? width - out.size() : 1, ' ');
    return out;
}

}  // namespace

std::string FormatReport(const CheckReport& report) {
    // The members in one column, so a pasted report reads down the page.
    std::size_t memberWidth = 0;
    for (const CheckLine& line : report.lines) {
        memberWidth = std::max(memberWidth, line.member.size() + 2);
    }
    std::string text(kFirstLine);
    text += '\n';
    int counts[3] = {};
    for (const CheckLine& line : report.lines) {
        ++counts[static_cast<int>(line.outcome)];
        text +=
            Padded(Word(line.outcome), 9) + Padded(line.member, memberWidth) + line.reason + '\n';
    }
    if (!report.started) {
        text += "Summary: Visio could not be started, so nothing could be checked.\n";
        return text;
    }
    text += "Summary: " + std::to_string(counts[0]) + " passed, " + std::to_string(counts[1]) +
            " failed, " + std::to_string(counts[2]) + " unknown; Visio Version " +
            (report.version.empty() ? "(unknown)" : report.version) + ", Build " +
            (report.build.empty() ? "(unknown)" : report.build) + ".\n";
    return text;
}

int ExitCode(const CheckReport& report) {
    if (!report.started) {
        return 2;
    }
    bool failed = std::any_of(report.lines.begin(), report.lines.end(),
                              [](const CheckLine& line) { return line.outcome == Outcome::Fail; });
    return failed ? 1 : 0;
}

}  // namespace sv::check
