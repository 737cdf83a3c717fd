#include "backup/page_copy.h"

#include <gtest/gtest.h>

#include "backup/testing/fake_visio.h"
#include "backup/testing/fakes.h"
#include "backup/testing/reports.h"

namespace sv::backup {
namespace {

using testing::FakeInstance;
using testing::FakePage;
using testing::FakeShape;
using testing::FakeVisio;
using testing::RecordingClipboard;
using testing::RecordingDialogs;
using testing::Reports;

class PageCopyTest : public ::testing::Test {
  protected:
    PageCopyTest() {
        user.AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
        source = user.active->pages[0];
        // Every cell differs from the target's defaults.
        double v = 101;
        for (auto& [name, value] : source->cells) {
            value = Arg(v++);
        }
        source->shapes = {{"box"}, {"circle"}};
        sourceApp = user.Application();
        sourcePage = sourceApp->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {1});
        backupApp = visio.StartVisio().app;
        temp().AddDrawing("Drawing1", "", 1);
        target = temp().active->pages[0];
        target->shapes.clear();
        targetPage = backupApp->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {1});
    }
    FakeInstance& temp() { return *visio.started[0]; }
    void Copy(bool shown = true) { CopyPage(run, *sourceApp, *sourcePage, *targetPage, shown); }

    FakeVisio visio;
    FakeInstance& user = visio.User();
    RecordingDialogs dialogs;
    RunReports reports;
    RecordingClipboard clipboard;
    RunContext run{dialogs, reports, clipboard};
    std::shared_ptr<FakePage> source, target;
    Object sourceApp, sourcePage, backupApp, targetPage;
};

TEST_F(PageCopyTest, CopiesTheCellsAndShapesAndLeavesNothingSelected) {
    FakePage before = *source;
    Copy();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_EQ(target->shapes, source->shapes);
    EXPECT_FALSE(user.allSelected);
    // The user's page is untouched and the target keeps its own name.
    EXPECT_EQ(source->cells, before.cells);
    EXPECT_EQ(source->shapes, before.shapes);
    EXPECT_EQ(target->name, "Page-1");
    // Both the copy and the paste are the run's own changes of the clipboard.
    EXPECT_EQ(clipboard.events, (std::vector<std::string>{"BeforeCopy", "Own", "Check", "Own"}));
}

// Someone copied while a report of this page was open: pasting now would put their content
// into the backup. The page keeps its cells and goes without shapes.
TEST_F(PageCopyTest, AClipboardWrittenBySomeoneElseIsNotPasted) {
    clipboard.holdsOwnCopy = false;
    Copy();
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_TRUE(target->shapes.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(user.allSelected);
}

TEST_F(PageCopyTest, CellsReachThePageBeforeTheShapes) {
    int lastCell = -1, paste = -1;
    temp().calls.clear();
    Copy();
    const auto& calls = temp().calls;
    for (int i = 0; i < static_cast<int>(calls.size()); ++i) {
        if (calls[i].rfind("Cells:", 0) == 0) {
            lastCell = i;
        }
        if (calls[i] == "Paste") {
            paste = i;
        }
    }
    EXPECT_EQ(calls[0], "PageSheet");
    EXPECT_EQ(calls[1], "Cells:PageWidth");
    EXPECT_GT(paste, lastCell);
}

TEST_F(PageCopyTest, BackgroundPageIsCopiedLikeAnyOther) {
    source->background = true;
    source->name = "Background-1";
    Copy();
    EXPECT_FALSE(target->background);
    EXPECT_EQ(target->name, "Page-1");
    EXPECT_EQ(target->shapes, source->shapes);
}

struct StepFault {
    bool onUser;          // fault in the user's instance, else in the temporary one
    std::string key;      // member or member:argument
    std::string reports;  // labels reported, comma separated
    bool pasted;          // shapes reached the target page
    int cellsCopied;      // of the 43
};

class PageCopyFaultTest : public PageCopyTest, public ::testing::WithParamInterface<StepFault> {};

TEST_P(PageCopyFaultTest, ReportsTheStepAndGoesOn) {
    const StepFault& f = GetParam();
    (f.onUser ? user : temp()).SetFault(f.key, "Cell is guarded.");
    Copy();
    std::string reports;
    for (const std::string& r : Reports(dialogs)) {
        reports += (reports.empty() ? "" : ",") + r;
    }
    EXPECT_EQ(reports, f.reports);
    for (const auto& m : dialogs.messages) {
        EXPECT_EQ(
            m.text.rfind("Cell is guarded.\r\nin Quorvel2021/08/31.SaveVisio.CopyPage at line ", 0),
            0u);
    }
    EXPECT_EQ(target->shapes == source->shapes, f.pasted);
    int copied = 0;
    for (const auto& [name, value] : source->cells) {
        copied += target->cells[name] == value;
    }
    EXPECT_EQ(copied, f.cellsCopied);
    EXPECT_FALSE(user.allSelected && f.key != "DeselectAll");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PageCopyFaultTest,
    ::testing::Values(StepFault{true, "Cells:PlowCode", "CopyPage:132", true, 42},
                      StepFault{false, "Cells:PlowCode", "CopyPage:132", true, 42},
                      StepFault{false, "Cells:PageWidth", "CopyPage:110", true, 42},
                      StepFault{false, "Cells:YGridSpacing", "CopyPage:194", true, 42},
                      StepFault{true, "PageSheet", "CopyPage:100", true, 0},
                      StepFault{false, "PageSheet", "CopyPage:106", true, 0},
                      StepFault{true, "SelectAll", "CopyPage:102", false, 43},
                      StepFault{true, "Copy", "CopyPage:104", false, 43},
                      StepFault{false, "Paste", "CopyPage:196", false, 43},
                      StepFault{true, "DeselectAll", "CopyPage:200", true, 43}));

TEST_F(PageCopyTest, StaleClipboardIsNotPastedWhenTheCopyFails) {
    visio.world.clipboard = {{"left over from the previous page"}};
    user.SetFault("Copy", "Clipboard busy");
    Copy();
    EXPECT_TRUE(target->shapes.empty());
}

// The user's window shows another page: its shapes must not land on this one.
TEST_F(PageCopyTest, PageNotShownGetsItsCellsButNoShapes) {
    visio.world.clipboard = {{"the user's own copy"}};
    Copy(false);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(target->shapes.empty());
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_EQ(user.CallsTo("SelectAll") + user.CallsTo("Copy") + temp().CallsTo("Paste"), 0);
    EXPECT_TRUE(clipboard.events.empty());
}

TEST_F(PageCopyTest, BlankPageGetsItsCellsWithoutCopyOrReport) {
    source->shapes.clear();
    visio.world.clipboard = {{"the user's own copy"}};
    Copy();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(target->shapes.empty());
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_EQ(user.CallsTo("Copy"), 0);
    EXPECT_FALSE(user.allSelected);
}

TEST_F(PageCopyTest, TemporaryInstanceEndingMidCopyIsReportedOnceAndTheUserShapesDeselected) {
    temp().SetFault("Cells:DrawingScale", "exit");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:118"});
    EXPECT_EQ(temp().CallsTo("Cells:ShdwOffsetY"), 0);
    EXPECT_EQ(user.CallsTo("SelectAll"), 1);
    EXPECT_FALSE(user.allSelected);
}

TEST_F(PageCopyTest, UserInstanceEndingMidCopyIsReportedOnceAndNothingFollows) {
    user.SetFault("Copy", "exit");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:104"});
    EXPECT_EQ(temp().CallsTo("PageSheet"), 1);
    EXPECT_EQ(temp().CallsTo("Paste"), 0);
    EXPECT_EQ(user.CallsTo("DeselectAll"), 0);
    EXPECT_EQ(clipboard.events, std::vector<std::string>{"BeforeCopy"});
}

// The same refusal on every cell is one cause: one report, at the first cell.
TEST_F(PageCopyTest, ACauseIsReportedOnceWhateverItsLine) {
    temp().SetFault("Cells", "Cell is guarded.");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:110"});
    EXPECT_EQ(target->shapes, source->shapes);
}

}  // namespace
}  // namespace sv::backup
