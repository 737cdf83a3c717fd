#include "check/checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "backup/testing/fake_visio.h"

namespace sv::check {
namespace {

using backup::testing::FakeInstance;
using backup::testing::FakeVisio;

// A started instance's process as the fake knows it: it ends when its instance quits.
class FakeView : public ProcessView {
  public:
    explicit FakeView(const FakeInstance& instance) : instance_(instance) {}
    std::vector<std::string> VisibleWindows() override {
        return instance_.visible ? std::vector<std::string>{"Drawing1"}
                                 : std::vector<std::string>{};
    }
    bool WaitForExit(std::chrono::milliseconds) override { return instance_.quit; }
    void Arm(std::chrono::milliseconds) override {}
    void Disarm() override {}
    std::optional<std::vector<std::string>> EndedShowing() override { return std::nullopt; }

  private:
    const FakeInstance& instance_;
};

class FakeHost : public CheckHost {
  public:
    explicit FakeHost(FakeVisio& visio) : visio_(visio) {}
    std::set<std::uint32_t> ProcessIds() override { return running; }
    std::unique_ptr<ProcessView> OpenProcess(std::uint32_t id) override {
        for (const auto& instance : visio_.started) {
            if (instance->processId == id) {
                return std::make_unique<FakeView>(*instance);
            }
        }
        return nullptr;
    }
    std::string ScratchFolder() override { return "C:\\Temp\\check"; }
    std::optional<std::string> ReadFile(const std::string&) override { return std::nullopt; }
    backup::ClipboardKeeper& Clipboard() override { return clipboard_; }
    void Pause(std::chrono::milliseconds wait) override {
        visio_.world.milliseconds += wait.count();
    }

    std::set<std::uint32_t> running;  // processes there before the start

  private:
    FakeVisio& visio_;
    backup::NoClipboardKeeper clipboard_;
};

// Visio handing back the instance the user has running instead of a new one.
class LinkGivingTheRunningInstance : public backup::DrawingLink {
  public:
    explicit LinkGivingTheRunningInstance(FakeVisio& visio) : visio_(visio) {}
    backup::Object AttachToVisio() override { return nullptr; }
    backup::StartedInstance StartVisio() override { return {visio_.User().Application(), {}}; }

  private:
    FakeVisio& visio_;
};

enum class Plant {
    Nothing,
    AnsweringUnset,    // Saved and AlertResponse refused: Quit asks about the drawing
    ProcessUnknown,    // the started process cannot be told apart
    ProcessOfBefore,   // the started instance runs in a process that was there before
    TheUsersInstance,  // the start gives the user's instance, drawings and all
    NoStart,           // the application cannot be started
    NoDrawing,         // Documents.Add refused
    GuardedCell,       // one page cell refuses to be written
    FrozenTimeEdited,  // drawings keep the TimeEdited they were made with
    NoWindow,          // the hidden instances have no window to look at
    JobRefused,        // the system will not tie the started instances to the program's end
};

struct CheckCase {
    const char* name;
    Plant plant;
    std::string member;  // the line of that member naming the reason has the outcome
    std::string reason;
    Outcome outcome;
    int exitCode;
    bool firstQuit;  // the first instance started took its Quit
};

class RunChecksTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RunChecksTest, TheLineSaysWhatTheApplicationDid) {
    const CheckCase& c = GetParam();
    FakeVisio visio;
    FakeHost host(visio);
    visio.User().AddDrawing("Plan.vsdx", "C:\\Plans\\", 2);
    visio.processUnknown = c.plant == Plant::ProcessUnknown;
    visio.startFails = c.plant == Plant::NoStart;
    visio.processUntied = c.plant == Plant::JobRefused;
    if (c.plant == Plant::AnsweringUnset) {
        visio.startedFaults["Saved"] = "Not now.";
        visio.startedFaults["AlertResponse"] = "Not now.";
    }
    if (c.plant == Plant::NoDrawing) {
        visio.startedFaults["Add:"] = "No templates here.";
    }
    if (c.plant == Plant::GuardedCell) {
        visio.startedFaults["Cells:PlowCode"] = "Cell PlowCode is guarded.";
    }
    if (c.plant == Plant::FrozenTimeEdited) {
        visio.startedFaults["TimeEdited"] = "frozen";
    }
    if (c.plant == Plant::NoWindow) {
        visio.startedFaults["ActiveWindow"] = "No window.";
    }
    if (c.plant == Plant::ProcessOfBefore) {
        host.running = {2000};  // the first started instance's
    }
    LinkGivingTheRunningInstance users(visio);
    backup::DrawingLink& link =
        c.plant == Plant::TheUsersInstance ? static_cast<backup::DrawingLink&>(users) : visio;
    const CheckReport report = RunChecks(link, host);

    auto line = std::find_if(report.lines.begin(), report.lines.end(), [&](const CheckLine& l) {
        return l.member == c.member && l.reason.find(c.reason) != std::string::npos;
    });
    ASSERT_NE(line, report.lines.end()) << FormatReport(report);
    EXPECT_EQ(line->outcome, c.outcome) << FormatReport(report);
    EXPECT_EQ(ExitCode(report), c.exitCode);
    // However many instances were started.
    EXPECT_EQ(std::count_if(report.lines.begin(), report.lines.end(),
                            [](const CheckLine& l) {
                                return l.reason.find("program's job") != std::string::npos;
                            }),
              c.plant == Plant::JobRefused ? 1 : 0);
    if (!visio.started.empty()) {
        EXPECT_EQ(visio.started.front()->quit, c.firstQuit);
    }
    // Only an instance of our own is ever ended, and every one of them is.
    std::vector<std::uint32_t> ours;
    for (const auto& instance : visio.started) {
        if (!host.running.count(instance->processId) && !visio.processUnknown) {
            ours.push_back(instance->processId);
        }
    }
    EXPECT_EQ(visio.endedProcesses, ours);
    // The user's instance is never changed, asked to quit or ended.
    EXPECT_FALSE(visio.User().quit);
    EXPECT_EQ(visio.User().documents.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Plants, RunChecksTest,
    ::testing::Values(
        CheckCase{"QuitWithoutAQuestion", Plant::Nothing, "Application.Quit",
                  "the first instance's process ended without a question", Outcome::Pass, 1, true},
        CheckCase{"QuitThatAsks", Plant::AnsweringUnset, "Application.Quit",
                  "failed (Quit was cancelled.)", Outcome::Fail, 1, false},
        CheckCase{"ProcessNotToldApart", Plant::ProcessUnknown, "Application.Quit", "took the Quit",
                  Outcome::Unknown, 1, true},
        CheckCase{"ProcessThatWasThereBefore", Plant::ProcessOfBefore, "StartVisio",
                  "which was running before", Outcome::Fail, 1, false},
        CheckCase{"AnInstanceWithDrawingsOpen", Plant::TheUsersInstance, "StartVisio",
                  "has 1 drawings open", Outcome::Fail, 1, false},
        CheckCase{"NoApplication", Plant::NoStart, "StartVisio", "could not start", Outcome::Fail,
                  2, false},
        // A check that cannot begin stops, and its instance is still ended.
        CheckCase{"NoDrawing", Plant::NoDrawing, "Documents.Add", "No templates here.",
                  Outcome::Fail, 1, false},
        CheckCase{"GuardedCell", Plant::GuardedCell, "Shape.CellsU",
                  "PlowCode: Cell PlowCode is guarded.", Outcome::Fail, 1, true},
        // The copy is checked all the same; only what it does to a window cannot be seen.
        CheckCase{"NoWindow", Plant::NoWindow, "Page.Paste", "arrive in the other instance",
                  Outcome::Pass, 1, true},
        CheckCase{"JobRefused", Plant::JobRefused, "StartVisio",
                  "could not be put in the program's job", Outcome::Unknown, 1, true},
        CheckCase{"TimeEditedMoves", Plant::Nothing, "Document.TimeEdited",
                  "moves when a page is added", Outcome::Pass, 1, true},
        CheckCase{"TimeEditedFrozen", Plant::FrozenTimeEdited, "Document.TimeEdited",
                  "did not move when a page is added", Outcome::Fail, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::check
