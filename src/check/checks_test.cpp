#include "check/checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "backup/testing/fake_visio.h"

namespace sv::check {
namespace {

using backup::testing::FakeVisio;

// Visio handing back the instance the user has running instead of a new one.
class LinkGivingTheRunningInstance : public backup::DrawingLink {
  public:
    explicit LinkGivingTheRunningInstance(FakeVisio& visio) : visio_(visio) {}
    backup::Object AttachToVisio() override { return nullptr; }
    backup::StartedInstance StartVisio() override { return {visio_.User().Application(), {}}; }

  private:
    FakeVisio& visio_;
};

class NoHost : public CheckHost {
  public:
    std::set<std::uint32_t> ProcessIds() override { return {}; }
    std::unique_ptr<ProcessView> OpenProcess(std::uint32_t) override { return nullptr; }
    std::string ScratchFolder() override { return "C:\\Temp\\check"; }
    std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
    backup::ClipboardKeeper& Clipboard() override { return clipboard_; }

  private:
    backup::NoClipboardKeeper clipboard_;
};

TEST(RunChecksTest, AnInstanceWithDrawingsOpenIsLeftAlone) {
    FakeVisio visio;
    visio.User().AddDrawing("Plan.vsdx", "C:\\Plans\\", 2);
    LinkGivingTheRunningInstance link(visio);
    NoHost host;
    CheckReport report = RunChecks(link, host);

    EXPECT_EQ(ExitCode(report), 1);
    ASSERT_FALSE(report.lines.empty());
    EXPECT_NE(report.lines.back().reason.find("has 1 drawings open"), std::string::npos)
        << FormatReport(report);
    const auto& user = visio.User();
    EXPECT_EQ(user.calls, (std::vector<std::string>{"Documents", "Count"}));
    EXPECT_FALSE(user.quit);
    EXPECT_EQ(user.documents.size(), 1u);
    EXPECT_TRUE(visio.endedProcesses.empty());
}

// Where the system will not tie the started instances to the program's end, one line says so,
// however many instances there are.
class RunChecksJobTest : public ::testing::TestWithParam<bool> {};

TEST_P(RunChecksJobTest, ARefusedJobIsSaidOnce) {
    FakeVisio visio;
    visio.processUntied = GetParam();
    NoHost host;
    CheckReport report = RunChecks(visio, host);
    ASSERT_EQ(visio.started.size(), 2u);
    const auto said = std::count_if(report.lines.begin(), report.lines.end(), [](const auto& l) {
        return l.reason.find("program's job") != std::string::npos;
    });
    EXPECT_EQ(said, GetParam() ? 1 : 0) << FormatReport(report);
}

INSTANTIATE_TEST_SUITE_P(Untied, RunChecksJobTest, ::testing::Bool());

}  // namespace
}  // namespace sv::check
