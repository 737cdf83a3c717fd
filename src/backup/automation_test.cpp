#include "backup/automation.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "backup/testing/fake_visio.h"
#include "backup/testing/fakes.h"
#include "common/failure.h"

namespace sv::backup {
namespace {

using testing::FakeVisio;
using testing::RecordingDialogs;

TEST(ValueTest, ConvertsWhatTheApplicationGivesBack) {
    EXPECT_TRUE(Value().IsEmpty());
    EXPECT_EQ(Value(Arg(std::string("Floorplan.vsdx"))).Text(), "Floorplan.vsdx");
    EXPECT_EQ(Value(Arg(true)).Text(), "True");
    EXPECT_EQ(Value(Arg(8.5)).Text(), "8.5");
    EXPECT_EQ(Value(Arg(std::int32_t{3})).Integer(), 3);
    EXPECT_EQ(Value(Arg(3.0)).Integer(), 3);
    EXPECT_THROW(Value(Arg(std::string("x"))).Integer(), Failure);
    EXPECT_THROW(Value().TakeObject(), Failure);
    EXPECT_THROW(Value(Arg(1e12)).Integer(), Failure);
}

TEST(CheckVisioInstalledTest, QuitsTheHiddenInstanceItStartedAndEndsItsProcess) {
    FakeVisio visio;
    RecordingDialogs dialogs;
    EXPECT_TRUE(CheckVisioInstalled(visio, dialogs, "Stenvault"));
    ASSERT_EQ(visio.started.size(), 1u);
    const auto& instance = *visio.started[0];
    EXPECT_TRUE(instance.quit);
    ASSERT_GE(instance.calls.size(), 1u);
    EXPECT_EQ(instance.calls[0], "Visible");
    EXPECT_EQ(instance.CallsTo("ProcessID"), 0);
    EXPECT_FALSE(instance.visible);
    EXPECT_EQ(instance.alertResponse, 7);
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{instance.processId});
    EXPECT_EQ(instance.liveObjects, 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

// Neither a refused Visible nor a Quit that leaves the process running is reported, and the
// process is ended all the same.
TEST(CheckVisioInstalledTest, RefusalsAreNotReported) {
    for (const char* fault : {"Call was rejected by callee.", "busy"}) {
        for (const char* member : {"Visible", "Quit", "AlertResponse"}) {
            FakeVisio visio;
            visio.startedFaults[member] = fault;
            RecordingDialogs dialogs;
            EXPECT_TRUE(CheckVisioInstalled(visio, dialogs, "Stenvault")) << member;
            EXPECT_TRUE(dialogs.messages.empty()) << member;
            EXPECT_EQ(visio.endedProcesses.size(), 1u) << member << ": " << fault;
        }
    }
}

TEST(CheckVisioInstalledTest, WithoutTheApplicationSaysSoUnderTheProgramTitle) {
    FakeVisio visio;
    visio.startFails = true;
    RecordingDialogs dialogs;
    EXPECT_FALSE(CheckVisioInstalled(visio, dialogs, "Stenvault"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "Visio is not installed on this computer. You need to have it installed to use this "
              "software without error.");
    EXPECT_EQ(dialogs.messages[0].title, "Stenvault");
    EXPECT_EQ(dialogs.messages[0].style, mb::kOk);
}

// Processes 40 and 41 appeared with the start; 7 is the user's instance, 99 an unrelated one.
std::uint32_t WindowOwner(std::int32_t window) {
    switch (window) {
        case 1001:
            return 40;
        case 1002:
            return 7;
        case 1003:
            return 99;
        default:
            return 0;
    }
}

struct StartedProcessCase {
    const char* name;
    std::vector<std::uint32_t> appeared;
    std::optional<Arg> window;
    std::optional<std::uint32_t> expected;
};

class StartedProcessTest : public ::testing::TestWithParam<StartedProcessCase> {};

TEST_P(StartedProcessTest, OnlyAProcessThatAppearedWithTheStartIsChosen) {
    const StartedProcessCase& c = GetParam();
    EXPECT_EQ(StartedProcess(c.appeared, c.window, WindowOwner), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, StartedProcessTest,
    ::testing::Values(
        StartedProcessCase{"ItsWindowsProcess", {41, 40}, Arg(std::int32_t{1001}), 40},
        StartedProcessCase{"AWindowOfTheUsersInstance", {40}, Arg(std::int32_t{1002}), {}},
        StartedProcessCase{"AWindowOfAnUnrelatedProcess", {40}, Arg(std::int32_t{1003}), {}},
        StartedProcessCase{"WindowZero", {40}, Arg(std::int32_t{0}), {}},
        StartedProcessCase{"NoSuchWindow", {40}, Arg(std::int32_t{4711}), {}},
        StartedProcessCase{"TextForAWindow", {40}, Arg(std::string("1001")), {}},
        StartedProcessCase{"NothingForAWindow", {40}, Arg(), {}},
        StartedProcessCase{"SilentWithOneNewProcess", {40}, std::nullopt, 40},
        StartedProcessCase{"SilentWithTwoNewProcesses", {40, 41}, std::nullopt, {}},
        StartedProcessCase{"SilentWithNoNewProcess", {}, std::nullopt, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CommandLineCase {
    const char* name;
    const char* commandLine;
    std::vector<std::string> expected;
};

class ServerExecutableTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ServerExecutableTest, NamesTheExecutablesAProcessStartWouldTry) {
    EXPECT_EQ(ServerExecutableCandidates(GetParam().commandLine), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    LocalServer32, ServerExecutableTest,
    ::testing::Values(CommandLineCase{"QuotedWithArguments",
                                      R"("C:\Program Files\Draw\app.exe" /Automation)",
                                      {R"(C:\Program Files\Draw\app.exe)"}},
                      CommandLineCase{
                          "QuotedUnclosed", R"( "C:\a b\app.exe)", {R"(C:\a b\app.exe)"}},
                      CommandLineCase{"UnquotedShortName",
                                      R"(C:\PROGRA~1\DRAW\APP.EXE /Automation)",
                                      {R"(C:\PROGRA~1\DRAW\APP.EXE)",
                                       R"(C:\PROGRA~1\DRAW\APP.EXE /Automation.exe)"}},
                      CommandLineCase{"UnquotedWithSpaces",
                                      R"(C:\Program Files\Draw.d\app -Embedding)",
                                      {R"(C:\Program.exe)", R"(C:\Program Files\Draw.d\app.exe)",
                                       R"(C:\Program Files\Draw.d\app -Embedding.exe)"}},
                      CommandLineCase{"Blank", "  ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::backup
