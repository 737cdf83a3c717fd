#include "app/session_end.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace sv {
namespace {

using Log = std::vector<std::string>;

struct FakeRun : RunInProgress {
    bool Running() override { return running; }
    std::string DocumentName() override { return name; }
    void Abandon() override { log.push_back("abandon"); }
    bool running = false;
    std::string name;
    Log log;
};

struct FakeWindow : EndingWindow {
    explicit FakeWindow(Log& log) : log(log) {}
    void BlockShutdown(const std::string& reason) override { log.push_back("block " + reason); }
    void AllowShutdown() override { log.push_back("allow"); }
    void SilenceDialogs(bool silent) override { log.push_back(silent ? "silence" : "voice"); }
    void Close() override { log.push_back("close"); }
    Log& log;
};

struct EndingCase {
    const char* name;
    bool running;
    // Drives the ending; the run returns after it.
    std::function<void(SessionEnd&, FakeRun&)> events;
    Log log;
};
void PrintTo(const EndingCase& c, std::ostream* os) {
    *os << c.name;
}

class SessionEndTest : public ::testing::TestWithParam<EndingCase> {};

TEST_P(SessionEndTest, HoldsTheSessionUpOnlyUntilTheRunHasReturned) {
    FakeRun run;
    run.running = GetParam().running;
    run.name = "Plan.vsdx";
    FakeWindow window(run.log);
    SessionEnd ending(run, window);
    GetParam().events(ending, run);
    run.running = false;
    ending.RunReturned();
    EXPECT_EQ(run.log, GetParam().log);
}

const char kReason[] = "block Saving a backup copy of Plan.vsdx\xE2\x80\xA6";

INSTANTIATE_TEST_SUITE_P(
    Ending, SessionEndTest,
    ::testing::Values(EndingCase{"NoRunLetsTheSessionEnd",
                                 false,
                                 [](SessionEnd& e, FakeRun&) { EXPECT_TRUE(e.QueryEndSession()); },
                                 {}},
                      EndingCase{"ARunHoldsItUpThenTheProgramEnds",
                                 true,
                                 [](SessionEnd& e, FakeRun& run) {
                                     EXPECT_FALSE(e.QueryEndSession());
                                     // Asked from inside the run: it is still below.
                                     e.RunReturned();
                                     EXPECT_EQ(run.log.size(), 3u) << "ended inside the run";
                                 },
                                 {kReason, "abandon", "silence", "allow", "close"}},
                      EndingCase{"ACancelledEndKeepsTheProgram",
                                 true,
                                 [](SessionEnd& e, FakeRun&) {
                                     EXPECT_FALSE(e.QueryEndSession());
                                     e.EndSession(false);
                                 },
                                 {kReason, "abandon", "silence", "allow", "voice"}},
                      EndingCase{"AForcedEndAbandonsTheRun",
                                 true,
                                 [](SessionEnd& e, FakeRun&) { e.EndSession(true); },
                                 {"abandon", "silence"}},
                      EndingCase{"ACloseAbandonsTheRun",
                                 true,
                                 [](SessionEnd& e, FakeRun&) { e.Closing(); },
                                 {"abandon", "silence"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv
