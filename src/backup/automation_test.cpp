#include "backup/automation.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace sv::backup
