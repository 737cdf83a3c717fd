#include "backup/save_all.h"

#include <gtest/gtest.h>

#include "backup/testing/choices.h"
#include "backup/testing/fake_visio.h"
#include "backup/testing/fakes.h"
#include "backup/testing/reports.h"

namespace sv::backup {
namespace {

using testing::EnglishLocale;
using testing::FakeChoices;
using testing::FakeClock;
using testing::FakeInstance;
using testing::FakeVisio;
using testing::MemoryFiles;
using testing::RecordingDialogs;
using testing::Reports;

constexpr char kLog[] = "C:\\Temp\\Stenvault.txt";
using Labels = std::vector<std::string>;

class SaveAllTest : public ::testing::Test {
  protected:
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
    // Hidden before anything else, never asked to save on Quit, its process ended.
    void ExpectTemporaryHiddenAndEnded() {
        ASSERT_EQ(visio.started.size(), 1u);
        ASSERT_FALSE(temp().calls.empty());
        EXPECT_EQ(temp().calls.front(), "Visible");
        EXPECT_FALSE(temp().visible);
        EXPECT_EQ(temp().savePrompts, 0);
        // Both ways of keeping Quit from asking: either one alone would do with the fake.
        EXPECT_EQ(temp().alertResponse, 7);
        if (temp().active) {
            EXPECT_TRUE(temp().active->saved);
        }
        EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});
    }

    FakeVisio visio;
    RecordingDialogs dialogs;
    FakeChoices choices;
    FakeClock clock;
    EnglishLocale locale;
    MemoryFiles files;
    BackupEngine engine{visio, dialogs, choices, clock, locale, files, kLog, ".vsd"};
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
    EXPECT_FALSE(visio.running->allSelected);
    EXPECT_TRUE(temp().quit);
    ExpectTemporaryHiddenAndEnded();
    ExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(PageCounts, SaveAllPagesTest, ::testing::Values(1, 3, 0));

TEST_F(SaveAllTest, SameFolderUsesTheDrawingsOwnFolder) {
    choices.same = true;
    choices.mode = NamingMode::Overwrite;
    visio.User().AddDrawing("Site.vsd", "C:\\Plans\\", 1);
    engine.SaveAll();
    EXPECT_TRUE(dialogs.prompts.empty());
    EXPECT_EQ(visio.world.savedFiles.count("C:\\Plans\\Site.vsd Dec 7 2021.vsd"), 1u);
}

TEST_F(SaveAllTest, NeverSavedDrawingAsksUntilAFolderIsChosen) {
    choices.same = true;
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
    choices.same = true;
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
    dialogs.onDialog = [&] {
        sawRunning = engine.Running();
        engine.SaveAll();
    };
    engine.SaveAll();
    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(visio.started.size(), 1u);
    EXPECT_EQ(Reports(dialogs), (Labels{"CopyPage:132", "CopyPage:132"}));
    ExpectCleanEnd();
}

struct RunFault {
    std::string name;
    bool onUser;
    std::string key;
    std::string folder;
    Labels reports;
    bool logged;
};

class SaveAllFaultTest : public SaveAllTest, public ::testing::WithParamInterface<RunFault> {};

TEST_P(SaveAllFaultTest, ReportsAndStillQuitsTheTemporaryInstance) {
    const RunFault& f = GetParam();
    choices.folder = f.folder;
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    if (f.onUser) {
        visio.running->SetFault(f.key, "Failed here");
    } else if (!f.key.empty()) {
        visio.startedFaults[f.key] = "Failed here";
    }
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), f.reports);
    EXPECT_EQ(!Log().empty(), f.logged);
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
        RunFault{"NoFirstTargetPage",
                 false,
                 "Item",
                 "D:\\Backups",
                 {"SaveAll:150", "CopyPage:106"},
                 true},
        RunFault{"UserPages", true, "Pages", "D:\\Backups", {"SaveAll:146"}, true},
        RunFault{"ShowPage",
                 true,
                 "Page",
                 "D:\\Backups",
                 {"SaveAll:154", "SaveAll:154", "SaveAll:154"},
                 true}),
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

TEST_F(SaveAllTest, TemporaryInstanceEndingMidRunStopsTheCopyAndTheNextRunWorks) {
    visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    visio.startedFaults["Paste"] = "exit";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), (Labels{"CopyPage:196", "SaveAll:162"}));
    EXPECT_EQ(temp().CallsTo("Paste"), 1);
    EXPECT_EQ(temp().CallsTo("Quit"), 0);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(visio.running->liveObjects, 0);
    // The user's window is left with nothing selected, and the dead instance's process ended.
    EXPECT_FALSE(visio.running->allSelected);
    EXPECT_EQ(visio.endedProcesses, std::vector<std::uint32_t>{temp().processId});

    visio.startedFaults.clear();
    dialogs.messages.clear();
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(Log(), "");
    EXPECT_TRUE(temp(1).quit);
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
    visio.running->SetFault("SelectAll", "exit");
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"CopyPage:102"});
    EXPECT_TRUE(temp().quit);
    // What was rebuilt so far is still saved.
    EXPECT_EQ(visio.world.savedFiles.size(), 1u);
}

}  // namespace
}  // namespace sv::backup
