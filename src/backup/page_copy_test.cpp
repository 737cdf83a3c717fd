#include "backup/page_copy.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

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

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ",") + item;
    }
    return out;
}

class PageCopyTest : public ::testing::Test {
  protected:
    PageCopyTest() {
        // The user looks at page 2 with one shape selected while page 1 is copied.
        user.AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
        source = user.active->pages[0];
        // Every cell differs from the target's defaults.
        double v = 101;
        for (auto& [name, value] : source->cells) {
            value = Arg(v++);
        }
        // Far from the page's centre: a paste that loses their places moves them.
        source->shapes = {{"box", 1.0, 1.5}, {"circle", 2.0, 9.0}};
        user.shownPage = user.active->pages[1];
        user.selection = {0};
        sourceApp = user.Application();
        document = sourceApp->GetObj("ActiveDocument");
        sourcePage = document->GetObj("Pages")->GetObj("Item", {1});
        backupApp = visio.StartVisio().app;
        temp().AddDrawing("Drawing1", "", 1);
        target = temp().active->pages[0];
        target->shapes.clear();
        targetPage = backupApp->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {1});
        user.calls.clear();
        temp().calls.clear();
        run.sourceApp = sourceApp.get();
        run.document = document.get();
    }
    FakeInstance& temp() { return *visio.started[0]; }
    bool Copy() { return CopyPage(run, *sourcePage, *targetPage); }
    int CellsCopied() {
        int copied = 0;
        for (const auto& [name, value] : source->cells) {
            copied += target->cells[name] == value;
        }
        return copied;
    }
    void ExpectWindowUntouched() {
        EXPECT_EQ(user.CallsTo("ActiveWindow"), 0);
        EXPECT_EQ(user.shownPage, user.active->pages[1]);
        EXPECT_EQ(user.selection, std::vector<std::size_t>{0});
    }

    FakeVisio visio;
    FakeInstance& user = visio.User();
    RecordingDialogs dialogs;
    RunReports reports;
    RecordingClipboard clipboard;
    RunContext run{dialogs, reports, clipboard};
    std::shared_ptr<FakePage> source, target;
    Object sourceApp, document, sourcePage, backupApp, targetPage;
};

// A few rows as the application's type library numbers them, and no cell reached twice: an
// index typed wrong copies one cell's value into another.
TEST(PageCellTableTest, IndicesAreTheTypeLibrarysAndNoCellIsReachedTwice) {
    const std::map<std::string_view, std::tuple<int, int, int>> known = {
        {"PageHeight", {1, 10, 1}},    {"InhibitSnap", {1, 10, 26}}, {"PlowCode", {1, 24, 11}},
        {"LineAdjustTo", {1, 24, 27}}, {"XRulerOrigin", {1, 18, 4}}, {"XGridOrigin", {1, 18, 10}},
    };
    std::set<std::tuple<int, int, int>> seen;
    for (const PageCell& cell : kPageCells) {
        const std::tuple<int, int, int> at{cell.section, cell.row, cell.cell};
        EXPECT_TRUE(seen.insert(at).second) << cell.name;
        if (auto it = known.find(cell.name); it != known.end()) {
            EXPECT_EQ(at, it->second) << cell.name;
        }
    }
    const IntegerArray stream = PageCellStream();
    ASSERT_EQ(stream.items.size(), 3 * kPageCells.size());
    EXPECT_EQ(stream.items[3 * 11 + 1], 24);  // PlowCode, the 12th cell
    EXPECT_EQ(stream.items[3 * 11 + 2], 11);
}

TEST_F(PageCopyTest, CopiesTheCellsAndTheShapesWhereTheyStandWithoutTheUsersWindow) {
    FakePage before = *source;
    EXPECT_TRUE(Copy());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_EQ(target->shapes, source->shapes);
    ExpectWindowUntouched();
    // The user's page is untouched and the target keeps its own name.
    EXPECT_EQ(source->cells, before.cells);
    EXPECT_EQ(source->shapes, before.shapes);
    EXPECT_EQ(target->name, "Page-1");
    // Both the copy and the paste are the run's own changes of the clipboard.
    EXPECT_EQ(clipboard.events, (std::vector<std::string>{"BeforeCopy", "Own", "Check", "Own"}));
    // The cells in one call each way, before the shapes.
    EXPECT_EQ(user.CallsTo("GetResults"), 1);
    EXPECT_EQ(temp().calls, (std::vector<std::string>{"PageSheet", "SetResults", "Paste"}));
}

TEST_F(PageCopyTest, BackgroundPageIsCopiedLikeAnyOther) {
    source->background = true;
    source->name = "Background-1";
    Copy();
    EXPECT_FALSE(target->background);
    EXPECT_EQ(target->name, "Page-1");
    EXPECT_EQ(target->shapes, source->shapes);
}

// Every way to the cells gives them all, without a report.
struct CellWay {
    std::string name;
    std::map<std::string, std::string> userFaults;
    std::map<std::string, std::string> tempFaults;
};

class PageCopyCellWayTest : public PageCopyTest, public ::testing::WithParamInterface<CellWay> {};

TEST_P(PageCopyCellWayTest, AllCellsArrive) {
    for (const auto& [key, fault] : GetParam().userFaults) {
        user.SetFault(key, fault);
    }
    for (const auto& [key, fault] : GetParam().tempFaults) {
        temp().SetFault(key, fault);
    }
    Copy();
    EXPECT_EQ(Joined(Reports(dialogs)), "");
    EXPECT_EQ(CellsCopied(), 43);
    EXPECT_EQ(target->shapes, source->shapes);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PageCopyCellWayTest,
    ::testing::Values(
        CellWay{"InOneCallEachWay", {}, {}},
        // Cells takes the names of the installation's language; CellsU the universal ones.
        CellWay{"LocalNamesCellByCell",
                {{"Cells", "local names"}, {"GetResults", "Refused."}},
                {{"Cells", "local names"}, {"SetResults", "Refused."}}},
        CellWay{"WithoutCellsU",
                {{"CellsU", "unknown"}, {"GetResults", "Refused."}},
                {{"CellsU", "unknown"}, {"SetResults", "Refused."}}}),
    [](const auto& info) { return info.param.name; });

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
    EXPECT_TRUE(Copy());
    EXPECT_EQ(Joined(Reports(dialogs)), f.reports);
    for (const auto& m : dialogs.messages) {
        EXPECT_EQ(
            m.text.rfind("Cell is guarded.\r\nin Quorvel2021/08/31.SaveVisio.CopyPage at line ", 0),
            0u);
    }
    EXPECT_EQ(target->shapes == source->shapes, f.pasted);
    EXPECT_EQ(CellsCopied(), f.cellsCopied);
    ExpectWindowUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PageCopyFaultTest,
    ::testing::Values(StepFault{true, "Cells:PlowCode", "CopyPage:132", true, 42},
                      StepFault{false, "Cells:PlowCode", "CopyPage:132", true, 42},
                      StepFault{false, "Cells:PageWidth", "CopyPage:110", true, 42},
                      StepFault{false, "Cells:YGridSpacing", "CopyPage:194", true, 42},
                      StepFault{true, "PageSheet", "CopyPage:100", true, 0},
                      StepFault{false, "PageSheet", "CopyPage:106", true, 0},
                      StepFault{true, "Count", "CopyPage:102", false, 43},
                      StepFault{true, "Copy", "CopyPage:104", false, 43},
                      StepFault{false, "Paste", "CopyPage:196", false, 43}));

TEST_F(PageCopyTest, StaleClipboardIsNotPastedWhenTheCopyFails) {
    visio.world.clipboard = {{"left over from the previous page"}};
    user.SetFault("Copy", "Clipboard busy");
    Copy();
    EXPECT_TRUE(target->shapes.empty());
}

TEST_F(PageCopyTest, BlankPageGetsItsCellsWithoutCopyOrReport) {
    source->shapes.clear();
    visio.world.clipboard = {{"the user's own copy"}};
    EXPECT_TRUE(Copy());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(target->shapes.empty());
    EXPECT_EQ(target->cells, source->cells);
    EXPECT_EQ(user.CallsTo("Copy") + temp().CallsTo("Paste"), 0);
    EXPECT_TRUE(clipboard.events.empty());
}

// Someone copied between the page's copy and its paste: what they copied must not land in
// the backup. The selection is copied once more; a second loss leaves the page unreached.
struct ClipboardTaken {
    int foreignWrites;
    int copies;
    bool reached;
    std::string reports;
};

class PageCopyClipboardTest : public PageCopyTest,
                              public ::testing::WithParamInterface<ClipboardTaken> {};

TEST_P(PageCopyClipboardTest, CopiesAgainOnce) {
    const ClipboardTaken& c = GetParam();
    clipboard.foreignWrites = c.foreignWrites;
    EXPECT_EQ(Copy(), c.reached);
    EXPECT_EQ(user.CallsTo("Copy"), c.copies);
    EXPECT_EQ(Joined(Reports(dialogs)), c.reports);
    EXPECT_EQ(target->shapes == source->shapes, c.reached);
    EXPECT_EQ(temp().CallsTo("Paste"), c.reached ? 1 : 0);
    EXPECT_EQ(CellsCopied(), 43);
}

INSTANTIATE_TEST_SUITE_P(Writes, PageCopyClipboardTest,
                         ::testing::Values(ClipboardTaken{1, 2, true, ""},
                                           ClipboardTaken{2, 2, false, "CopyPage:196"}));

TEST_F(PageCopyTest, TemporaryInstanceEndingMidCopyIsReportedOnce) {
    temp().SetFault("SetResults", "exit");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:110"});
    EXPECT_EQ(temp().CallsTo("Paste"), 0);
    ExpectWindowUntouched();
}

TEST_F(PageCopyTest, UserInstanceEndingMidCopyIsReportedOnceAndNothingFollows) {
    user.SetFault("Copy", "exit");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:104"});
    EXPECT_EQ(temp().CallsTo("PageSheet"), 1);
    EXPECT_EQ(temp().CallsTo("Paste"), 0);
    EXPECT_EQ(clipboard.events, std::vector<std::string>{"BeforeCopy"});
}

// The same refusal on every cell is one cause: one report, at the first cell.
TEST_F(PageCopyTest, ACauseIsReportedOnceWhateverItsLine) {
    temp().SetFault("SetResults", "Cell is guarded.");
    temp().SetFault("CellsU", "Cell is guarded.");
    Copy();
    EXPECT_EQ(Reports(dialogs), std::vector<std::string>{"CopyPage:110"});
    EXPECT_EQ(target->shapes, source->shapes);
}

}  // namespace
}  // namespace sv::backup
