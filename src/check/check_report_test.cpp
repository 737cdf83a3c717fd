#include "check/check_report.h"

#include <gtest/gtest.h>

namespace sv::check {
namespace {

CheckReport With(std::initializer_list<Outcome> outcomes, bool started = true) {
    CheckReport report;
    report.started = started;
    for (Outcome o : outcomes) {
        report.lines.push_back({o, "Page.Paste", "why"});
    }
    return report;
}

struct ExitCase {
    CheckReport report;
    int code;
};

TEST(ExitCodeTest, FollowsTheWorstFinding) {
    const ExitCase cases[] = {
        {With({Outcome::Pass, Outcome::Pass}), 0},
        {With({Outcome::Pass, Outcome::Unknown}), 0},
        {With({Outcome::Pass, Outcome::Fail, Outcome::Unknown}), 1},
        {With({Outcome::Fail}, false), 2},
    };
    for (const ExitCase& c : cases) {
        EXPECT_EQ(ExitCode(c.report), c.code) << FormatReport(c.report);
    }
}

TEST(FormatReportTest, SaysWhatItTouchesThenOneLinePerCheckThenTheVersion) {
    CheckReport report;
    report.started = true;
    report.lines = {{Outcome::Pass, "StartVisio", "a new process"},
                    {Outcome::Fail, "Page.CreateSelection", "failed: refused"},
                    {Outcome::Unknown, "Page.Paste", "needs the selection"}};
    report.version = "16.0";
    report.build = "16.0.18129.20100";
    EXPECT_EQ(FormatReport(report),
              std::string(kFirstLine) +
                  "\n"
                  "PASS     StartVisio            a new process\n"
                  "FAIL     Page.CreateSelection  failed: refused\n"
                  "UNKNOWN  Page.Paste            needs the selection\n"
                  "Summary: 1 passed, 1 failed, 1 unknown; Visio Version 16.0, Build "
                  "16.0.18129.20100.\n");
}

}  // namespace
}  // namespace sv::check
