#include "backup/save_all.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "backup/page_copy.h"
#include "backup/thinning.h"
#include "backup/testing/choices.h"
#include "backup/testing/fake_visio.h"
#include "backup/testing/fakes.h"
#include "backup/testing/reports.h"
#include "common/error_report.h"
#include "common/failure.h"

namespace sv::backup {
namespace {

using testing::EnglishLocale;
using testing::FakeChoices;
using testing::FakeClock;
using testing::FakeDocument;
using testing::FakeInstance;
using testing::FakeVisio;
using testing::MemoryFiles;
using testing::RecordingClipboard;
using testing::RecordingDialogs;
using testing::Reports;
using testing::Where;
using testing::WorldFiles;

constexpr char kLog[] = "C:\\Temp\\Stenvault.txt";
using Labels = std::vector<std::string>;

class SaveAllTest : public ::testing::Test {
  public:
    SaveAllTest() {
        clock.times = {{2021, 12, 7, 13, 5, 9}};
        visio.world.folders = {"C:\\Plans", "D:\\Backups", "E:\\Chosen"};
    }
    FakeInstance& temp(std::size_t i = 0) { return *visio.started.at(i); }
    std::string Log() { return files.files.count(kLog) ? files.files[kLog] : ""; }
    // Every object handed out was released.
    void ExpectCleanEnd() {
        for (const auto& instance : visio.started) {
            EXPECT_EQ(instance->liveObjects, 0);
        }
        if (visio.running) {
            EXPECT_EQ(visio.running->liveObjects, 0);
        }
        EXPECT_FALSE(engine.Running());
    }
    // Hidden before anything else, never asked to save on Quit, its process (known without
    // asking it) ended.
    void ExpectTemporaryHiddenAndEnded() {
        ASSERT_EQ(visio.started.size(), 1u);
        ASSERT_GE(temp().calls.size(), 1u);
        EXPECT_EQ(temp().calls[0], "Visible");
        EXPECT_EQ(temp().CallsTo("ProcessID"), 0);
        EXPECT_FALSE(temp().visible);
        EXPECT_EQ(temp().savePrompts, 0);
        // Both ways of keeping Quit from asking: either one alone would do with the fake.
        EXPECT_EQ(temp().alertResponse, 7);
        if (temp().active) {
            EXPECT_TRUE(temp().active->saved);
        }
        EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});
        // The grace only for an instance that took its Quit: a refusal leaves nothing to wait for.
        EXPECT_EQ(visio.endGraces,
                  std::vector<std::chrono::milliseconds>{temp().quit ? std::chrono::seconds(10)
                                                                     : std::chrono::seconds(0)});
    }

    FakeVisio visio;
    RecordingDialogs dialogs;
    FakeChoices choices;
    FakeClock clock;
    EnglishLocale locale;
    WorldFiles files{visio.world};
    RecordingClipboard clipboard;
    BackupEngine engine{visio, dialogs, choices, clock, locale, files, clipboard, kLog, ".vsd"};
};

TEST_F(SaveAllTest, WithoutARunningInstanceNothingHappens) {
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(visio.started.empty());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(SaveAllTest, WithoutAnActiveDocumentNothingHappens) {
    visio.User();
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(visio.started.empty());
    EXPECT_TRUE(files.files.empty());
    ExpectCleanEnd();
}

class SaveAllPagesTest : public SaveAllTest, public ::testing::WithParamInterface<int> {};

TEST_P(SaveAllPagesTest, RebuildsEveryPageAndLogsTheBackup) {
    const int pages = GetParam();
    auto document = visio.User().AddDrawing("Floorplan.vsdx", "C:\\Plans\\", pages);
    document->saved = false;
    // The user looks at the last page with one shape selected.
    FakeInstance& user = *visio.running;
    user.shownPage = pages > 0 ? document->pages.back() : nullptr;
    user.selection = {0};
    engine.SaveAll();

    const std::string target = "D:\\Backups\\Floorplan.vsdx Date Dec 7 2021 Time 01 05 09 PM.vsd";
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(visio.started.size(), 1u);
    EXPECT_EQ(temp().CallsTo("Add"), pages > 1 ? pages - 1 : 0);
    ASSERT_EQ(visio.world.savedFiles.count(target), 1u);
    const auto& saved = visio.world.savedFiles[target];
    ASSERT_EQ(static_cast<int>(saved.pages.size()), std::max(pages, 1));
    for (int i = 0; i < pages; ++i) {
        EXPECT_EQ(saved.pages[i]->shapes, document->pages[i]->shapes);
    }
    EXPECT_EQ(Log(),
              "Floorplan.vsdx was backup saved as " + target + " at 12/7/2021 1:05:09 PM\r\n");
    // The user's drawing is neither saved nor renamed.
    EXPECT_EQ(document->name, "Floorplan.vsdx");
    EXPECT_EQ(document->path, "C:\\Plans\\");
    EXPECT_FALSE(document->saved);
    EXPECT_EQ(visio.running->CallsTo("SaveAs"), 0);
    // Their window was never asked anything.
    EXPECT_EQ(user.CallsTo("ActiveWindow"), 0);
    EXPECT_EQ(user.shownPage, pages > 0 ? document->pages.back() : nullptr);
    EXPECT_EQ(user.selection, std::vector<std::size_t>{0});
    EXPECT_TRUE(temp().quit);
    ExpectTemporaryHiddenAndEnded();
    ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(PageCounts, SaveAllPagesTest, ::testing::Values(1, 3, 0));

TEST_F(SaveAllTest, SameFolderUsesTheDrawingsOwnFolder) {
    choices.where = Where::SameFolder;
    choices.mode = NamingMode::Overwrite;
    visio.User().AddDrawing("Site.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_TRUE(dialogs.prompts.empty());
    EXPECT_EQ(visio.world.savedFiles.count("C:\\Plans\\Site.vsd Dec 7 2021.vsd"), 1u);
}

TEST_F(SaveAllTest, NeverSavedDrawingAsksUntilAFolderIsChosen) {
    choices.where = Where::SameFolder;
    auto first = visio.User().AddDrawing("Drawing1", "", 2);
    dialogs.answers = {"", "", "E:\\Chosen\\"};
    engine.SaveAll();
    ASSERT_EQ(dialogs.prompts.size(), 3u);
    for (const auto& prompt : dialogs.prompts) {
        EXPECT_EQ(prompt.title, "Drawing1 is unsaved. Please select location:");
        EXPECT_EQ(prompt.owner, 4242u);
        EXPECT_EQ(prompt.start, "");
    }
    const std::string target = "E:\\Chosen\\Drawing1 Date Dec 7 2021 Time 01 05 09 PM.vsd";
    ASSERT_EQ(visio.world.savedFiles.count(target), 1u);
    EXPECT_EQ(visio.world.savedFiles[target].pages[1]->shapes, first->pages[1]->shapes);
    EXPECT_TRUE(dialogs.messages.empty());

    // Nothing is remembered: the next run asks again.
    dialogs.answers = {"E:\\Chosen"};
    engine.SaveAll();
    EXPECT_EQ(dialogs.prompts.size(), 4u);
}

TEST_F(SaveAllTest, APromptThatCannotBeShownEndsTheRun) {
    choices.where = Where::SameFolder;
    visio.User().AddDrawing("Drawing1", "", 1);
    dialogs.answers = {};  // the fake prompt fails
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:118"});
    EXPECT_TRUE(visio.started.empty());
    ExpectCleanEnd();
}

TEST_F(SaveAllTest, ARequestWhileADialogIsOpenStartsNoSecondRun) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
    visio.startedFaults["Cells:PlowCode"] = "Guarded";
    bool sawRunning = false;
    std::string nameSeen;
    dialogs.onDialog = [&] {
        sawRunning = engine.Running();
        nameSeen = engine.DocumentName();
        engine.SaveAll();
    };
    engine.SaveAll();
    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(nameSeen, "Plan.vsd");
    EXPECT_EQ(engine.DocumentName(), "");
    EXPECT_EQ(visio.started.size(), 1u);
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:132"});
    ExpectCleanEnd();
}

struct RunFault {
    std::string name;
    bool onUser;
    std::string key;
    std::string folder;
    Labels reports;
    bool logged;
    std::string fault = "Failed here";
};

class SaveAllFaultTest : public SaveAllTest, public ::testing::WithParamInterface<RunFault> {};

TEST_P(SaveAllFaultTest, ReportsAndStillQuitsTheTemporaryInstance) {
    const RunFault& f = GetParam();
    choices.folder = f.folder;
    choices.thinOut = true;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    if (f.onUser) {
        visio.running->SetFault(f.key, f.fault);
    } else if (!f.key.empty()) {
        visio.startedFaults[f.key] = f.fault;
    }
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), f.reports);
    EXPECT_EQ(!Log().empty(), f.logged);
    // A history line names a backup that was written, and only such a one.
    EXPECT_EQ(visio.world.savedFiles.size(), f.logged ? 1u : 0u);
    // Older backups are weighed only after a run that met no failure.
    EXPECT_EQ(files.weighings > 0, f.logged && f.reports.empty());
    EXPECT_EQ(temp().CallsTo("Quit"), 1);
    ExpectTemporaryHiddenAndEnded();
    ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SaveAllFaultTest,
    ::testing::Values(
        RunFault{"EmptyFolder", false, "", "", {"SaveAll:162"}, false},
        RunFault{"MissingFolder", false, "", "Q:\\Nowhere", {"SaveAll:162"}, false},
        RunFault{"SaveAs", false, "SaveAs", "D:\\Backups", {"SaveAll:162"}, false},
        RunFault{"Quit", false, "Quit", "D:\\Backups", {"SaveAll:166"}, true},
        RunFault{"NoNewDrawing", false, "Documents", "D:\\Backups", {"SaveAll:144"}, false},
        // The drawing Add gave is the one copied into: a hidden instance's may not be active.
        RunFault{"NoActiveDocument", false, "ActiveDocument", "D:\\Backups", {}, true},
        // A backup lacking a page of the drawing is neither saved nor logged.
        RunFault{"NoFirstTargetPage", false, "Item", "D:\\Backups", {"SaveAll:150"}, false},
        RunFault{"TargetPages", false, "Pages", "D:\\Backups", {"SaveAll:150"}, false},
        RunFault{"UserPages", true, "Pages", "D:\\Backups", {"SaveAll:146"}, false},
        RunFault{"UserPageCount", true, "Count", "D:\\Backups", {"SaveAll:146"}, false},
        RunFault{"UserPageItems", true, "Item", "D:\\Backups", {"SaveAll:146"}, false},
        RunFault{"UserBusy", true, "Pages", "D:\\Backups", {"SaveAll:146"}, false, "busy"},
        RunFault{"UserGone", true, "PageSheet", "D:\\Backups", {"CopyPage:100"}, false, "exit"},
        // The shapes are taken without the user's window.
        RunFault{"ShowPage", true, "Page", "D:\\Backups", {}, true},
        RunFault{"UserWindow", true, "ActiveWindow", "D:\\Backups", {}, true}),
    [](const auto& info) { return info.param.name; });

TEST_F(SaveAllTest, NoNamingModeGivesAnEmptyTargetAndAFailedSave) {
    choices.mode = NamingMode::None;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    EXPECT_EQ(Log(), "");
}

TEST_F(SaveAllTest, FailedHistoryAppendIsReportedAndTheInstanceStillQuits) {
    files.appendFails = true;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:164"});
    EXPECT_EQ(visio.world.savedFiles.size(), 1u);
    ExpectCleanEnd();
}

TEST_F(SaveAllTest, FailedStartIsReportedOnce) {
    visio.startFails = true;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:142"});
    EXPECT_EQ(Log(), "");
    ExpectCleanEnd();
}

// Busy from its start, the temporary instance is given up at its first refused call: its
// process is still ended, and the run says so once, at the start.
TEST_F(SaveAllTest, TemporaryInstanceBusyFromItsStartIsStillEnded) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
    visio.startedFaults["Visible"] = "busy";
    engine.SaveAll();
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:142"});
    EXPECT_EQ(Log(), "");
}

TEST_F(SaveAllTest, TemporaryInstanceEndingMidRunStopsTheCopyAndTheNextRunWorks) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.startedFaults["Paste"] = "exit";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:196"});
    EXPECT_EQ(temp().CallsTo("Paste"), 1);
    EXPECT_EQ(temp().CallsTo("Quit"), 0);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(visio.running->liveObjects, 0);
    // The dead instance's process is ended.
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});

    visio.startedFaults.clear();
    dialogs.messages.clear();
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(Log(), "");
    EXPECT_TRUE(temp(1).quit);
}

// An application that cannot select a page's shapes without a window: the user's window is
// turned to each page, and put back on its page with its selection afterwards.
TEST_F(SaveAllTest, WithoutPageSelectionsTheUsersWindowIsTurnedAndPutBack) {
    auto document = visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    FakeInstance& user = *visio.running;
    user.SetFault("CreateSelection", "unknown");
    user.shownPage = document->pages[1];
    user.selection = {0};
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    const auto& saved = visio.world.savedFiles.begin()->second;
    ASSERT_EQ(saved.pages.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(saved.pages[i]->shapes, document->pages[i]->shapes);
    }
    EXPECT_EQ(user.CallsTo("CreateSelection"), 1);
    EXPECT_EQ(user.shownPage, document->pages[1]);
    EXPECT_EQ(user.selection, std::vector<std::size_t>{0});
    ExpectCleanEnd();
}

// The user takes their window to another drawing with the same page names while a report is
// open: its pages must not be copied into this backup.
TEST_F(SaveAllTest, AWindowTakenToAnotherDrawingIsNeitherCopiedFromNorTurned) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    FakeInstance& user = *visio.running;
    user.SetFault("CreateSelection", "Not implemented.");
    visio.startedFaults["Cells:PlowCode"] = "Guarded";
    std::shared_ptr<testing::FakeDocument> other;
    dialogs.onDialog = [&] {
        if (!other) {
            other = user.AddDrawing("Other.vsd", "C:\\Plans\\", 3);
        }
    };
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), (Labels{"CopyPage:132", "SaveAll:154"}));
    EXPECT_TRUE(visio.world.savedFiles.empty());
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(user.shownPage, other->pages[0]);
    EXPECT_TRUE(user.selection.empty());
    ExpectCleanEnd();
}

// The drawing whose name was read is the one copied, whatever the user activates meanwhile.
TEST_F(SaveAllTest, ADrawingActivatedDuringThePromptIsNotCopied) {
    choices.where = Where::SameFolder;
    auto plan = visio.User().AddDrawing("Drawing1", "", 2);
    dialogs.answers = {"E:\\Chosen"};
    dialogs.onDialog = [&] { visio.running->AddDrawing("Other.vsd", "C:\\Plans\\", 2); };
    engine.SaveAll();
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    const auto& saved = visio.world.savedFiles.begin()->second;
    ASSERT_EQ(saved.pages.size(), 2u);
    EXPECT_EQ(saved.pages[1]->shapes, plan->pages[1]->shapes);
}

// Someone else keeps writing the clipboard between a page's copy and its paste: the page
// cannot reach the backup, which is then neither saved nor logged.
TEST_F(SaveAllTest, AClipboardTakenTwiceLeavesThePageUnreached) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
    clipboard.foreignWrites = 2;
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:196"});
    EXPECT_TRUE(visio.world.savedFiles.empty());
    EXPECT_EQ(Log(), "");
    ExpectCleanEnd();
}

TEST_F(SaveAllTest, BlankPageIsCopiedWithoutItsShapesAndWithoutAReport) {
    auto document = visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    document->pages[1]->shapes.clear();
    document->pages[1]->cells["PageWidth"] = Arg(42.0);
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    const auto& saved = visio.world.savedFiles.begin()->second;
    ASSERT_EQ(saved.pages.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(saved.pages[i]->shapes, document->pages[i]->shapes);
        EXPECT_EQ(saved.pages[i]->cells, document->pages[i]->cells);
    }
    EXPECT_EQ(visio.running->CallsTo("Copy"), 2);
    EXPECT_NE(Log(), "");
}

// A temporary instance that stays busy is given up like a lost one: no call to it after the
// refused one, at most one report, and its process ended at once, never waited for: a call it
// refused never ran, Quit included.
struct BusyTemporary {
    std::string name;
    std::string member;
    Labels reports;
    bool logged;
};

class SaveAllBusyTemporaryTest : public SaveAllTest,
                                 public ::testing::WithParamInterface<BusyTemporary> {};

TEST_P(SaveAllBusyTemporaryTest, IsGivenUpAndEndedAtOnce) {
    const BusyTemporary& b = GetParam();
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.startedFaults[b.member] = "busy";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), b.reports);
    EXPECT_EQ(temp().calls.back(), b.member);
    EXPECT_EQ(visio.world.savedFiles.size(), b.logged ? 1u : 0u);
    EXPECT_EQ(Log().empty(), !b.logged);
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});
    EXPECT_EQ(visio.endGraces, std::vector<std::chrono::milliseconds>{std::chrono::seconds(0)});
    ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SaveAllBusyTemporaryTest,
    ::testing::Values(BusyTemporary{"Paste", "Paste", {"CopyPage:196"}, false},
                      // The backup was written: a successful run shows nothing.
                      BusyTemporary{"MarkedSaved", "Saved", {}, true},
                      BusyTemporary{"Quit", "Quit", {}, true}),
    [](const auto& info) { return info.param.name; });

TEST_F(SaveAllTest, InstanceEndingWhileItQuitsIsNotAFailure) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    visio.startedFaults["Quit"] = "exit";
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(Log(), "");
    ExpectCleanEnd();
}

TEST_F(SaveAllTest, UserInstanceEndingMidRunStillQuitsTheTemporaryOne) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.running->SetFault("CreateSelection", "exit");
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:102"});
    EXPECT_TRUE(temp().quit);
    EXPECT_EQ(temp().savePrompts, 0);
    // What was rebuilt so far lacks the drawing: nothing is saved or logged.
    EXPECT_TRUE(visio.world.savedFiles.empty());
    EXPECT_EQ(Log(), "");
}

// Overwrite mode: today's good backup is already there when the user's application fails.
struct LostUser {
    std::string name;
    std::string key;
    std::string fault;
};

class SaveAllLostUserTest : public SaveAllTest, public ::testing::WithParamInterface<LostUser> {};

TEST_P(SaveAllLostUserTest, TheGoodBackupOfTodayIsUntouched) {
    choices.mode = NamingMode::Overwrite;
    const std::string target = "D:\\Backups\\Plan.vsd Dec 7 2021.vsd";
    visio.world.savedFiles[target].name = "this morning's good backup";
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    const LostUser& f = GetParam();
    if (f.fault == "killed") {
        // Ended from outside while the page named by `key` is being copied.
        const int page = std::stoi(f.key);
        visio.running->onCall = [&, page](const std::string& entry) {
            if (entry == "CreateSelection" && visio.running->CallsTo("CreateSelection") == page) {
                visio.running->lost = true;
            }
        };
    } else {
        visio.running->SetFault(f.key, f.fault);
    }
    engine.SaveAll();
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    EXPECT_EQ(visio.world.savedFiles[target].name, "this morning's good backup");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(temp().quit);
    EXPECT_EQ(temp().savePrompts, 0);
    ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Ways, SaveAllLostUserTest,
                         ::testing::Values(LostUser{"Exit", "Copy", "exit"},
                                           LostUser{"Busy", "CreateSelection", "busy"},
                                           LostUser{"KilledOnPage2", "2", "killed"},
                                           LostUser{"KilledOnLastPage", "3", "killed"},
                                           LostUser{"PagesUnreadable", "Count", "Bad count"}),
                         [](const auto& info) { return info.param.name; });

// The end of a run with an earlier backup at the target: it is replaced only by a complete
// copy, written whole; a failed save or history line is shown whatever was shown before.
struct RunEnd {
    std::string name;
    NamingMode mode;
    std::function<void(SaveAllTest&)> arrange;
    Labels reports;
    bool replaced;
    bool logged;
};

class SaveAllEndTest : public SaveAllTest, public ::testing::WithParamInterface<RunEnd> {};

TEST_P(SaveAllEndTest, TheEarlierBackupGoesOnlyForAWholeCopy) {
    const RunEnd& e = GetParam();
    choices.mode = e.mode;
    choices.thinOut = true;
    const std::string target = e.mode == NamingMode::Overwrite
                                   ? "D:\\Backups\\Plan.vsd Dec 7 2021.vsd"
                                   : "D:\\Backups\\Plan.vsd Date Dec 7 2021 Time 01 05 09 PM.vsd";
    visio.world.savedFiles[target].name = "earlier";
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    e.arrange(*this);
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), e.reports);
    // No other file is left behind, half-written or whole.
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    ASSERT_EQ(visio.world.savedFiles.count(target), 1u);
    const FakeDocument& there = visio.world.savedFiles[target];
    EXPECT_EQ(there.name != "earlier", e.replaced);
    if (e.replaced) {
        EXPECT_EQ(there.pages.size(), 3u);
    }
    EXPECT_EQ(Log().empty(), !e.logged);
    EXPECT_EQ(files.weighings > 0, e.logged && e.reports.empty());
    if (e.logged) {
        EXPECT_NE(Log().find(" was backup saved as " + target + " at "), std::string::npos);
    }
    ExpectTemporaryHiddenAndEnded();
    ExpectCleanEnd();
}

void Faults(SaveAllTest& t, std::map<std::string, std::string> faults) {
    t.visio.startedFaults = std::move(faults);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveAllEndTest,
    ::testing::Values(
        RunEnd{"Whole", NamingMode::Overwrite, [](SaveAllTest&) {}, {}, true, true},
        RunEnd{"DiskFullHalfWay",
               NamingMode::Overwrite,
               [](SaveAllTest& t) { t.visio.world.roomForPages = 1; },
               {"SaveAll:162"},
               false,
               false},
        RunEnd{"ReplaceRefused",
               NamingMode::Overwrite,
               [](SaveAllTest& t) { t.files.moveFails = true; },
               {"SaveAll:162"},
               false,
               false},
        RunEnd{"SaveAsWithACellsCause",
               NamingMode::NewFile,
               [](SaveAllTest& t) {
                   Faults(t, {{"Cells:PlowCode", "Unspecified error"},
                              {"SaveAs", "Unspecified error"}});
               },
               {"CopyPage:132", "SaveAll:162"},
               false,
               false},
        RunEnd{"HistoryWithACellsCause",
               NamingMode::NewFile,
               [](SaveAllTest& t) {
                   Faults(t, {{"Cells:PlowCode", "Permission denied"}});
                   t.files.appendFails = true;
               },
               {"CopyPage:132", "SaveAll:164"},
               true,
               false},
        RunEnd{"UsersCopy",
               NamingMode::Overwrite,
               [](SaveAllTest& t) { t.visio.running->SetFault("Copy", "Failed here"); },
               {"CopyPage:104", "SaveAll:162"},
               false,
               false},
        RunEnd{"TemporaryPaste",
               NamingMode::Overwrite,
               [](SaveAllTest& t) {
                   Faults(t, {{"Paste", "Failed here"}});
               },
               {"CopyPage:196", "SaveAll:162"},
               false,
               false},
        RunEnd{"OneCell",
               NamingMode::Overwrite,
               [](SaveAllTest& t) {
                   Faults(t, {{"Cells:PlowCode", "Failed here"}});
               },
               {"CopyPage:132", "SaveAll:162"},
               false,
               false},
        // A new file each time: the backup may lack only what failed.
        RunEnd{"UsersCopyNewFile",
               NamingMode::NewFile,
               [](SaveAllTest& t) { t.visio.running->SetFault("Copy", "Failed here"); },
               {"CopyPage:104"},
               true,
               true}),
    [](const auto& info) { return info.param.name; });

TEST_F(SaveAllTest, AnIncompleteCopyIsTheDaysFirstBackup) {
    choices.mode = NamingMode::Overwrite;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
    visio.running->SetFault("Copy", "Failed here");
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:104"});
    EXPECT_EQ(visio.world.savedFiles.count("D:\\Backups\\Plan.vsd Dec 7 2021.vsd"), 1u);
    EXPECT_EQ(visio.world.savedFiles.size(), 1u);
    EXPECT_NE(Log(), "");
}

// The session ends while a report of the run is open.
struct Abandoned {
    std::string name;
    std::string fault;  // on the temporary instance
    int pages;          // copied
    int saves;
};

class SaveAllAbandonTest : public SaveAllTest, public ::testing::WithParamInterface<Abandoned> {};

TEST_P(SaveAllAbandonTest, NothingMoreIsCopiedSavedOrReplaced) {
    choices.mode = NamingMode::Overwrite;
    const std::string target = "D:\\Backups\\Plan.vsd Dec 7 2021.vsd";
    visio.world.savedFiles[target].name = "earlier";
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.startedFaults[GetParam().fault] = "Failed here";
    dialogs.onDialog = [&] { engine.Abandon(); };
    choices.thinOut = true;
    engine.SaveAll();
    EXPECT_EQ(visio.running->CallsTo("Copy"), GetParam().pages);
    EXPECT_EQ(temp().CallsTo("SaveAs"), GetParam().saves);
    ASSERT_EQ(visio.world.savedFiles.size(), 1u);
    EXPECT_EQ(visio.world.savedFiles[target].name, "earlier");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});
    EXPECT_EQ(clipboard.events.back(), "Restore");
    EXPECT_EQ(files.weighings, 0);
    ExpectCleanEnd();

    // Only the run in progress was abandoned.
    visio.running->calls.clear();
    visio.startedFaults.clear();
    engine.Abandon();
    engine.SaveAll();
    EXPECT_EQ(visio.world.savedFiles[target].pages.size(), 3u);
    EXPECT_NE(Log(), "");
    EXPECT_EQ(files.weighings, 1);
    EXPECT_EQ(files.listed.back(), "D:\\Backups");
}

INSTANTIATE_TEST_SUITE_P(Moments, SaveAllAbandonTest,
                         ::testing::Values(Abandoned{"DuringTheCopy", "Cells:PlowCode", 1, 0},
                                           Abandoned{"DuringTheQuit", "Quit", 3, 1}),
                         [](const auto& info) { return info.param.name; });

TEST_F(SaveAllTest, AnAbandonedRunEndsItsInstanceWithoutAskingItToQuit) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 2);
    visio.startedFaults["Cells:PlowCode"] = "Failed here";
    dialogs.onDialog = [&] { engine.Abandon(); };
    engine.SaveAll();
    EXPECT_EQ(temp().CallsTo("Quit"), 0);
    EXPECT_EQ(visio.endGraces, std::vector<std::chrono::milliseconds>{std::chrono::seconds(0)});
}

TEST_F(SaveAllTest, NeitherFolderChoiceGivesAFailedSaveAndNoPrompt) {
    choices.where = Where::Neither;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_TRUE(dialogs.prompts.empty());
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    EXPECT_TRUE(visio.world.savedFiles.empty());
    EXPECT_EQ(Log(), "");
}

// A saved drawing whose folder cannot be read is not an unsaved one.
TEST_F(SaveAllTest, UnreadableFolderEndsTheRunWithOneReportAndNoPrompt) {
    choices.where = Where::SameFolder;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    visio.running->SetFault("Path", "Method 'Path' of object 'IVDocument' failed");
    dialogs.answers = {"E:\\Chosen"};
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:114"});
    EXPECT_TRUE(dialogs.prompts.empty());
    EXPECT_TRUE(visio.started.empty());
    EXPECT_TRUE(visio.world.savedFiles.empty());
    ExpectCleanEnd();
}

TEST_F(SaveAllTest, PromptStopsAskingOnceTheUsersApplicationIsGone) {
    choices.where = Where::SameFolder;
    visio.User().AddDrawing("Drawing1", "", 1);
    dialogs.answers = {"", "", "E:\\Chosen"};
    dialogs.onDialog = [&] { visio.running->lost = true; };
    engine.SaveAll();
    EXPECT_EQ(dialogs.prompts.size(), 1u);
    // No backup of a drawing that was open: said once.
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:118"});
    EXPECT_TRUE(visio.started.empty());
}

// What an ended run left in the folder a run saves into goes before the save; nothing else,
// and nowhere else.
TEST_F(SaveAllTest, OnlyTheTargetFoldersLeftoversGo) {
    const std::string there = "D:\\Backups\\" + UnfinishedName(17, ".vsd");
    const std::string elsewhere = "C:\\Plans\\" + UnfinishedName(17, ".vsd");
    for (const std::string& path : {there, elsewhere}) {
        files.files[path] = "half a drawing";
        files.ages[path] = 7200;
    }
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_EQ(files.removed,
              (std::vector<std::pair<std::string, Removal>>{{there, Removal::Delete}}));
    EXPECT_EQ(files.files.count(elsewhere), 1u);
    EXPECT_NE(Log(), "");
}

TEST_F(SaveAllTest, ACauseIsReportedOnceInARunWithItsFirstTextAndLine) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.startedFaults["Cells:PlowCode"] = "Guarded";
    visio.startedFaults["Paste"] = "Guarded";
    engine.SaveAll();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, ErrorReportText("Guarded", kCopyPageLocation, 132));
    // The next run reports it again.
    engine.SaveAll();
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

// Older backups of Plan.vsd beside the new one of 13:05:09: the 10 newest of 13:04:40 to 13:04:50
// are kept, with a read-only file and a folder of a newer name that are not candidates, a file
// held open, another drawing's backup and one in a subfolder.
struct ThinRun {
    std::string name;
    std::function<void(SaveAllTest&)> arrange;
    std::vector<std::string> removed;  // times of Plan.vsd's backups of 7 December
};

class SaveAllThinTest : public SaveAllTest, public ::testing::WithParamInterface<ThinRun> {};

std::string Backup(const std::string& time, const std::string& drawing = "Plan.vsd") {
    return "D:\\Backups\\" + drawing + " Date Dec 7 2021 Time " + time + " PM.vsd";
}

TEST_P(SaveAllThinTest, RemovesOnlyWhatTheRulesDoNotKeep) {
    std::vector<std::string> seeds = {Backup("01 04 30"), Backup("01 05 04"),
                                      Backup("01 04 30", "Plan.vsdx"),
                                      "D:\\Backups\\Old\\Plan.vsd Dec 1 2021.vsd"};
    for (int second = 40; second <= 50; ++second) {
        seeds.push_back(Backup("01 04 " + std::to_string(second)));
    }
    for (const std::string& seed : seeds) {
        files.files[seed] = "drawing";
    }
    files.heldOpen = {Backup("01 04 30")};
    files.readOnly = {Backup("01 05 04")};
    files.folders = {"D:\\Backups\\Old", Backup("01 05 05")};
    choices.thinOut = true;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    GetParam().arrange(*this);
    engine.SaveAll();

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(files.weighings, choices.thinOut ? 1 : 0);
    std::vector<std::pair<std::string, Removal>> expected;
    for (const std::string& time : GetParam().removed) {
        expected.push_back({Backup(time), Removal::Recycle});
    }
    EXPECT_EQ(files.removed, expected);
    EXPECT_EQ(visio.world.savedFiles.size(), 1u);
    EXPECT_EQ(files.files.size(), seeds.size() - expected.size() + 1);  // and the history log
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SaveAllThinTest,
    ::testing::Values(
        ThinRun{"Off", [](SaveAllTest& t) { t.choices.thinOut = false; }, {}},
        ThinRun{"On", [](SaveAllTest&) {}, {"01 04 40", "01 04 41"}},
        ThinRun{"OverwriteMode",
                [](SaveAllTest& t) { t.choices.mode = NamingMode::Overwrite; },
                {"01 04 40"}},
        ThinRun{
            "FolderUnlistable", [](SaveAllTest& t) { t.files.unlistable = {"D:\\Backups"}; }, {}},
        // The stamp's clock readings, then the history line's a week and a second after the
        // newest earlier backup: nothing goes. A further reading would thin.
        ThinRun{"AtTheMomentTheHistoryLineNames",
                [](SaveAllTest& t) {
                    t.clock.times = {{2021, 12, 7, 13, 5, 9},
                                     {2021, 12, 7, 13, 5, 9},
                                     {2021, 12, 14, 13, 4, 51},
                                     {2021, 12, 7, 13, 5, 10}};
                },
                {}}),
    [](const auto& info) { return info.param.name; });

// A long history thinned for the first time: a hundred go in one run, the rest in the next. Of
// 120 backups of the day before, the 8 newest (with the two runs' own) and 10:59, the newest of
// its hour, stay.
TEST_F(SaveAllTest, AHundredAtMostGoInOneRun) {
    for (int minute = 0; minute < 120; ++minute) {
        char name[80];
        std::snprintf(name, sizeof name,
                      "D:\\Backups\\Plan.vsd Date Dec 6 2021 Time %02d %02d 00 AM.vsd",
                      10 + minute / 60, minute % 60);
        files.files[name] = "drawing";
    }
    choices.thinOut = true;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_EQ(files.removed.size(), kMostRemovedInARun);
    clock.times = {{2021, 12, 7, 13, 6, 9}};
    engine.SaveAll();
    EXPECT_EQ(files.removed.size(), 111u);
}

// The user's clipboard is taken once the run goes ahead and put back on every way out.
struct ClipboardPath {
    std::string name;
    std::function<void(SaveAllTest&)> arrange;
    bool taken;
};

class SaveAllClipboardTest : public SaveAllTest,
                             public ::testing::WithParamInterface<ClipboardPath> {};

TEST_P(SaveAllClipboardTest, WhatWasTakenIsPutBackOnce) {
    GetParam().arrange(*this);
    engine.SaveAll();
    const std::vector<std::string>& events = clipboard.events;
    if (!GetParam().taken) {
        EXPECT_TRUE(events.empty());
        return;
    }
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front(), "Take");
    EXPECT_EQ(events.back(), "Restore");
    EXPECT_EQ(std::count(events.begin(), events.end(), "Take"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "Restore"), 1);
    // The temporary instance is gone before the clipboard is put back.
    if (!visio.started.empty()) {
        EXPECT_EQ(visio.endedProcesses.size(), 1u);
    }
}

void Drawing(SaveAllTest& t, const std::string& path = "C:\\Plans\\") {
    t.visio.User().AddDrawing("Plan.vsd", path, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveAllClipboardTest,
    ::testing::Values(ClipboardPath{"NoApplication", [](SaveAllTest&) {}, false},
                      ClipboardPath{"NoDocument", [](SaveAllTest& t) { t.visio.User(); }, false},
                      ClipboardPath{"Saved", [](SaveAllTest& t) { Drawing(t); }, true},
                      ClipboardPath{"FailedSave",
                                    [](SaveAllTest& t) {
                                        Drawing(t);
                                        t.choices.folder = "";
                                    },
                                    true},
                      ClipboardPath{"UserLost",
                                    [](SaveAllTest& t) {
                                        Drawing(t);
                                        t.visio.running->SetFault("Copy", "exit");
                                    },
                                    true},
                      ClipboardPath{"UserBusy",
                                    [](SaveAllTest& t) {
                                        Drawing(t);
                                        t.visio.running->SetFault("Pages", "busy");
                                    },
                                    true},
                      ClipboardPath{"NoStart",
                                    [](SaveAllTest& t) {
                                        Drawing(t);
                                        t.visio.startFails = true;
                                    },
                                    true},
                      ClipboardPath{"PromptCancelledThenAnswered",
                                    [](SaveAllTest& t) {
                                        Drawing(t, "");
                                        t.choices.where = Where::SameFolder;
                                        t.dialogs.answers = {"", "E:\\Chosen"};
                                    },
                                    true},
                      ClipboardPath{"PromptFailed",
                                    [](SaveAllTest& t) {
                                        Drawing(t, "");
                                        t.choices.where = Where::SameFolder;
                                    },
                                    true},
                      ClipboardPath{"FolderUnreadable",
                                    [](SaveAllTest& t) {
                                        Drawing(t);
                                        t.choices.where = Where::SameFolder;
                                        t.visio.running->SetFault("Path", "Failed here");
                                    },
                                    true}),
    [](const auto& info) { return info.param.name; });

// "Back up only when the drawing has changed": a timed run over the drawing its last backup
// was made of leaves it alone. The first timed run copies; `between` is what happens after it;
// the run after that starts a temporary instance or not.
class SaveAllChangedOnlyTest;
struct Interval {
    std::string name;
    std::function<void(SaveAllChangedOnlyTest&)> between;
    bool copies;
    std::function<void(SaveAllChangedOnlyTest&)> before = [](SaveAllChangedOnlyTest&) {};
    RunCause cause = RunCause::Timer;
};

class SaveAllChangedOnlyTest : public SaveAllTest, public ::testing::WithParamInterface<Interval> {
  public:
    SaveAllChangedOnlyTest() {
        choices.changedOnly = true;
        // Every call takes 10 ms: a copy spans enough of the clock to show that edits move it.
        visio.world.millisecondsPerCall = 10;
        clock.monotonic = [this] { return visio.world.milliseconds; };
        plan = visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    }
    FakeInstance& user() { return *visio.running; }
    void Timed() { engine.SaveAll(RunCause::Timer); }
    // The user works on the drawing and activates `document`.
    void Activate(const std::shared_ptr<FakeDocument>& document) {
        user().active = document;
        user().shownPage = document->pages.front();
    }
    std::shared_ptr<FakeDocument> plan;
};

TEST_P(SaveAllChangedOnlyTest, AnUnchangedDrawingIsLeftAloneQuietly) {
    const Interval& row = GetParam();
    row.before(*this);
    Timed();
    row.between(*this);
    const std::size_t started = visio.started.size();
    const std::string log = Log();
    const auto files = visio.world.savedFiles;
    clipboard.events.clear();
    dialogs.messages.clear();
    user().calls.clear();
    engine.SaveAll(row.cause);
    EXPECT_EQ(visio.started.size() - started, row.copies ? 1u : 0u);
    // A signal that cannot be read is no news of the user's.
    const Labels reports = Reports(dialogs);
    EXPECT_EQ(std::count(reports.begin(), reports.end(), "SaveAll:108"), 0);
    if (!row.copies) {
        EXPECT_EQ(user().calls, (Labels{"ActiveDocument", "Name", "FullName", "TimeEdited", "Saved",
                                        "Pages", "Count"}));
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(clipboard.events.empty());
        EXPECT_EQ(Log(), log);
        EXPECT_EQ(visio.world.savedFiles.size(), files.size());
    }
    // Off, nothing more is asked of either instance.
    if (!choices.changedOnly) {
        EXPECT_EQ(user().CallsTo("TimeEdited") + user().CallsTo("FullName") +
                      user().CallsTo("Saved") + temp(started).CallsTo("TimeEdited"),
                  0);
    }
    ExpectCleanEnd();
}

void Edit(SaveAllChangedOnlyTest& t) {
    t.user().Edit(*t.plan);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SaveAllChangedOnlyTest,
    ::testing::Values(
        Interval{"Unchanged", [](auto&) {}, false},
        Interval{"OptionOff", [](auto&) {}, true, [](auto& t) { t.choices.changedOnly = false; }},
        Interval{"TestButton", [](auto&) {}, true, [](auto&) {}, RunCause::Request},
        Interval{"Edited", Edit, true},
        Interval{"SavedByTheUser", [](auto& t) { t.plan->saved = true; }, true},
        Interval{"PageCount", [](auto& t) { t.user().AddPage(*t.plan); }, true},
        Interval{"Renamed", [](auto& t) { t.plan->name = "Plan 2.vsd"; }, true},
        Interval{"TimeEditedRefused",
                 [](auto& t) { t.user().SetFault("TimeEdited", "Failed here"); }, true},
        Interval{"TimeEditedNotADate",
                 [](auto& t) { t.user().answers["TimeEdited"] = Arg(t.plan->timeEdited.days); },
                 true},
        Interval{"FullNameEmpty", [](auto&) {}, true,
                 [](auto& t) { t.user().answers["FullName"] = Arg(""); }},
        Interval{"CountNotANumber", [](auto& t) { t.user().answers["Count"] = Arg("3"); }, true},
        Interval{"BackupDeleted", [](auto& t) { t.visio.world.savedFiles.clear(); }, true},
        Interval{"ADayLater", [](auto& t) { t.visio.world.milliseconds += 24LL * 3600 * 1000; },
                 true},
        Interval{"AlmostADayLater",
                 [](auto& t) { t.visio.world.milliseconds += 24LL * 3600 * 1000 - 60000; }, false},
        Interval{"TwoDrawingsTakeTurns",
                 [](auto& t) {
                     t.user().AddDrawing("Other.vsd", "C:\\Plans\\", 2);
                     t.Timed();
                     t.Activate(t.plan);
                 },
                 false},
        // Overwrite mode: a drawing of the same name elsewhere took its backup's place.
        Interval{"BackupReplacedByAnotherDrawing",
                 [](auto& t) {
                     t.user().AddDrawing("Plan.vsd", "C:\\Elsewhere\\", 3);
                     t.Timed();
                     t.Activate(t.plan);
                 },
                 true, [](auto& t) { t.choices.mode = NamingMode::Overwrite; }},
        // Logged while part of the drawing was not copied: no backup to rely on.
        Interval{"IncompleteCopy", [](auto& t) { t.visio.startedFaults.clear(); }, true,
                 [](auto& t) {
                     t.Timed();
                     Edit(t);
                     t.visio.startedFaults["Cells:PlowCode"] = "Failed here";
                 }},
        Interval{"NotLogged", [](auto& t) { t.files.appendFails = false; }, true,
                 [](auto& t) {
                     t.Timed();
                     Edit(t);
                     t.files.appendFails = true;
                 }},
        // An installation that keeps TimeEdited as it was, seen in a copy of 3 s: from then on
        // every interval copies. A copy of 0.3 s without a move shows nothing.
        Interval{"FrozenSeen",
                 [](auto& t) {
                     t.visio.startedFaults["TimeEdited"] = "frozen";
                     t.visio.world.millisecondsPerCall = 100;
                     Edit(t);
                     t.Timed();
                     t.visio.world.millisecondsPerCall = 10;
                 },
                 true},
        Interval{"FrozenInAFastCopy",
                 [](auto& t) {
                     t.visio.startedFaults["TimeEdited"] = "frozen";
                     Edit(t);
                     t.Timed();
                 },
                 false},
        // Edited in the second the run read it (13:05:09): a later edit in that second would
        // not move a TimeEdited of whole seconds.
        Interval{"EditedInTheSecondOfTheRead", [](auto&) {}, true,
                 [](auto& t) {
                     t.visio.world.milliseconds = (13 * 3600 + 5 * 60 + 9) * 1000LL + 200;
                     Edit(t);
                 }},
        Interval{"TemporaryTimeEditedRefused", [](auto&) {}, true,
                 [](auto& t) { t.visio.startedFaults["TimeEdited"] = "Failed here"; }},
        // Whole seconds and a copy within one: edits have not been seen to move it yet.
        Interval{"WholeSecondsFastCopy", [](auto&) {}, true,
                 [](auto& t) { t.visio.world.wholeSeconds = true; }}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace sv::backup
