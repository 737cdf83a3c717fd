// Windows headers first: their A/W macros then rename members the same way everywhere here.
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "backup/save_all.h"
#include "backup/page_copy.h"
#include "backup/testing/choices.h"
#include "backup/testing/fakes.h"
#include "backup/testing/reports.h"
#include "backup/testing/standin_win32.h"
#include "common/failure.h"

namespace sv::backup {
namespace {

using testing::DrawingsOnDisk;
using testing::EndStrayStandins;
using testing::EnglishLocale;
using testing::FakeChoices;
using testing::FakeClock;
using testing::FileExistsUtf8;
using testing::PlantedFaults;
using testing::QuitQuietly;
using testing::RecordingDialogs;
using testing::Reports;
using testing::ScratchFolder;
using testing::UserInstance;
using testing::WaitForStandinCount;
using Labels = std::vector<std::string>;

constexpr char kLeftOver[] = "a stand-in process is still running after the run";
constexpr char kLog[] = "C:\\Temp\\Stenvault.txt";
const char* const kStamp = " Date Dec 7 2021 Time 01 05 09 PM.vsd";

struct PageContent {
    std::vector<Arg> cells;
    std::vector<std::string> texts;
};

PageContent ReadPage(AutomationObject& page) {
    PageContent content;
    Object sheet = page.GetObj("PageSheet");
    for (const PageCell& cell : kPageCells) {
        content.cells.push_back(
            sheet->GetObj("Cells", {std::string(cell.name)})->GetDefault().AsArg());
    }
    Object shapes = page.GetObj("Shapes");
    for (int i = 1, n = shapes->Get("Count").Integer(); i <= n; ++i) {
        content.texts.push_back(shapes->GetObj("Item", {i})->GetText("Text"));
    }
    return content;
}

std::vector<PageContent> ReadDrawing(AutomationObject& document) {
    std::vector<PageContent> pages;
    Object all = document.GetObj("Pages");
    for (int i = 1, n = all->Get("Count").Integer(); i <= n; ++i) {
        pages.push_back(ReadPage(*all->GetObj("Item", {i})));
    }
    return pages;
}

class SaveAllWineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EndStrayStandins();
        clock.times = {{2021, 12, 7, 13, 5, 9}};
        choices.folder = folder.path();
    }

    // The user's three-page drawing: a custom-size scaled second page, a background third one;
    // page i has i shapes, none on blankPage.
    void BuildUserDrawing(int blankPage = 0) {
        user = std::make_unique<UserInstance>();
        ASSERT_TRUE(user->ready());
        userApp = link.AttachToVisio();
        ASSERT_NE(userApp, nullptr);
        userApp->GetObj("Documents")->Call("Add", {std::string()});
        Object document = userApp->GetObj("ActiveDocument");
        Object pages = document->GetObj("Pages");
        pages->Call("Add");
        pages->Call("Add");
        for (int i = 1; i <= 3; ++i) {
            Object page = pages->GetObj("Item", {i});
            for (int s = 1; s <= i && i != blankPage; ++s) {
                Object shape =
                    page->Call("DrawRectangle", {1.0 * s, 1.0, 2.0 * s, 2.0}).TakeObject();
                shape->Put("Text", "Page " + std::to_string(i) + " shape " + std::to_string(s));
            }
        }
        Object second = pages->GetObj("Item", {2})->GetObj("PageSheet");
        second->GetObj("Cells", {std::string("PageWidth")})->PutDefault(Arg(17.0));
        second->GetObj("Cells", {std::string("PageHeight")})->PutDefault(Arg(5.5));
        second->GetObj("Cells", {std::string("DrawingScale")})->PutDefault(Arg(4.0));
        MakeThirdPageABackground(*document);
    }

    // Only a file makes a background page: the type library gives Background no put. The
    // drawing then has unsaved changes again, as one being worked on has.
    void MakeThirdPageABackground(AutomationObject& document) {
        const std::string written = drawings.path() + "\\Plan as drawn.vsd";
        document.Call("SaveAs", {}, {{"FileName", written}});
        std::ifstream in(written, std::ios::binary);
        std::string text{std::istreambuf_iterator<char>(in), {}};
        const std::string page = "Name=\"Page-3\">";
        const std::size_t at = text.find(page);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, page.size(), "Name=\"Page-3\" Background=\"1\">");
        const std::string opened = drawings.path() + "\\Plan.vsd";
        std::ofstream(opened, std::ios::binary) << text;
        Object plan = userApp->GetObj("Documents")->Call("Open", {opened}).TakeObject();
        Object sheet = plan->GetObj("Pages")->GetObj("Item", {2})->GetObj("PageSheet");
        sheet->GetObj("Cells", {std::string("DrawingScale")})->PutDefault(Arg(4.0));
    }

    void TearDown() override {
        userApp.reset();
        user.reset();
        EndStrayStandins();
    }

    std::string Log() { return files.files.count(kLog) ? files.files[kLog] : ""; }

    sv::win32::ComApartment apartment;
    win32::DispatchLink link;
    ScratchFolder folder{"h2 backups \xC3\xA4\xC3\xB8 \xE2\x82\xAC"};
    ScratchFolder drawings{"h2 user drawings"};
    RecordingDialogs dialogs;
    FakeChoices choices;
    FakeClock clock;
    EnglishLocale locale;
    DrawingsOnDisk files;
    BackupEngine engine{link, dialogs, choices, clock, locale, files, kLog, ".vsd"};
    std::unique_ptr<UserInstance> user;
    Object userApp;
};

TEST_F(SaveAllWineTest, NothingRunningMeansNothingHappens) {
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(files.files.empty());
    EXPECT_EQ(WaitForStandinCount(0), 0) << kLeftOver;
}

TEST_F(SaveAllWineTest, BacksUpTheActiveDrawingEndToEnd) {
    BuildUserDrawing();
    Object document = userApp->GetObj("ActiveDocument");
    const std::string name = document->GetText("Name");
    const std::string path = document->GetText("Path");
    ASSERT_FALSE(document->Get("Saved").Scalar() == Arg(true));
    std::vector<PageContent> before = ReadDrawing(*document);

    choices.folder += "\\";  // a trailing backslash is collapsed at the join
    engine.SaveAll();

    const std::string target = folder.path() + "\\" + name + kStamp;
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text;
    EXPECT_TRUE(FileExistsUtf8(target)) << target;
    EXPECT_EQ(Log(), name + " was backup saved as " + target + " at 12/7/2021 1:05:09 PM\r\n");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;

    // The user's drawing is as it was.
    EXPECT_EQ(document->GetText("Name"), name);
    EXPECT_EQ(document->GetText("Path"), path);
    EXPECT_FALSE(document->Get("Saved").Scalar() == Arg(true));
    std::vector<PageContent> after = ReadDrawing(*document);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].cells, before[i].cells);
        EXPECT_EQ(after[i].texts, before[i].texts);
    }

    // The backup opens with the same pages, cells and shapes.
    Object reader = link.StartVisio().app;
    Object backup = reader->GetObj("Documents")->Call("Open", {target}).TakeObject();
    std::vector<PageContent> copied = ReadDrawing(*backup);
    ASSERT_EQ(copied.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copied[i].cells, before[i].cells) << "page " << i + 1;
        EXPECT_EQ(copied[i].texts, before[i].texts) << "page " << i + 1;
    }
    // Background is an Integer: True is -1.
    EXPECT_EQ(backup->GetObj("Pages")->GetObj("Item", {3})->Get("Background").Integer(), 0);
    backup.reset();
    EXPECT_TRUE(QuitQuietly(*reader));
}

TEST_F(SaveAllWineTest, FailingMemberInTheTemporaryInstanceIsReportedAndTheRunGoesOn) {
    BuildUserDrawing();
    PlantedFaults faults(L"Embedding");
    faults.Set("Cells:PlowCode", "Cell PlowCode is guarded.");
    engine.SaveAll();
    // Once per run for one cause, though each of the three pages met it.
    EXPECT_EQ(Reports(dialogs), (Labels{"CopyPage:132"}));
    EXPECT_EQ(dialogs.messages[0].text.rfind("Cell PlowCode is guarded.\r\n", 0), 0u);
    EXPECT_NE(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
}

TEST_F(SaveAllWineTest, TemporaryInstanceDyingMidRunIsReportedAndTheNextRunWorks) {
    BuildUserDrawing();
    {
        PlantedFaults faults(L"Embedding");
        faults.Set("Paste", "exit");
        engine.SaveAll();
    }
    // The lost instance is reported once; nothing that needs it is tried again.
    EXPECT_EQ(Reports(dialogs), (Labels{"CopyPage:196"}));
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
    // The user's window is left with nothing selected all the same.
    EXPECT_EQ(userApp->GetObj("ActiveWindow")->GetObj("Selection")->Get("Count").Integer(), 0);

    dialogs.messages.clear();
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
}

TEST_F(SaveAllWineTest, MissingFolderFailsTheSaveAndLogsNothing) {
    BuildUserDrawing();
    choices.folder = folder.path() + "\\not there";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
    // The copy that could not be saved was quit without a question to anyone.
    EXPECT_EQ(::FindWindowW(L"#32770", L"Visio Stand-in"), nullptr);
}

TEST_F(SaveAllWineTest, EmptyFolderFailsTheSaveAndLogsNothing) {
    BuildUserDrawing();
    choices.folder = "";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
    // The copy that could not be saved was quit without a question to anyone.
    EXPECT_EQ(::FindWindowW(L"#32770", L"Visio Stand-in"), nullptr);
}

TEST_F(SaveAllWineTest, ABlankMiddlePageIsCopiedWithItsCellsAndNoReport) {
    BuildUserDrawing(2);
    Object document = userApp->GetObj("ActiveDocument");
    std::vector<PageContent> before = ReadDrawing(*document);
    ASSERT_TRUE(before[1].texts.empty());

    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text;
    EXPECT_NE(Log(), "");

    const std::string target = folder.path() + "\\" + document->GetText("Name") + kStamp;
    Object reader = link.StartVisio().app;
    Object backup = reader->GetObj("Documents")->Call("Open", {target}).TakeObject();
    std::vector<PageContent> copied = ReadDrawing(*backup);
    ASSERT_EQ(copied.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copied[i].cells, before[i].cells) << "page " << i + 1;
        EXPECT_EQ(copied[i].texts, before[i].texts) << "page " << i + 1;
    }
    backup.reset();
    EXPECT_TRUE(QuitQuietly(*reader));
}

TEST_F(SaveAllWineTest, NoStartedCopyShowsItsWindowDuringARun) {
    BuildUserDrawing();
    testing::StartedWindowWatch watch(user->processId());
    engine.SaveAll();
    watch.Stop();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text;
    EXPECT_GT(watch.polls(), 10);
    EXPECT_EQ(watch.seen(), 0) << "a started copy's window was seen during the run";
}

TEST_F(SaveAllWineTest, TheUserInstanceBusyForAMomentDelaysTheRunWithoutAReport) {
    PlantedFaults faults(L"Interactive");
    faults.Set("ActiveDocument", "busy 3");
    BuildUserDrawing();
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text;
    EXPECT_NE(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
}

TEST_F(SaveAllWineTest, TheTemporaryInstanceBusyForAMomentDelaysTheRunWithoutAReport) {
    BuildUserDrawing();
    PlantedFaults faults(L"Embedding");
    faults.Set("Add", "busy 3");
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].text;
    EXPECT_NE(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
}

TEST_F(SaveAllWineTest, TheUserInstanceBusyForEverIsReportedOnceAndTheRunEnds) {
    PlantedFaults faults(L"Interactive");
    faults.Set("Pages", "busy forever");
    // A drawing made without Pages, which would start the refusals.
    user = std::make_unique<UserInstance>();
    ASSERT_TRUE(user->ready());
    userApp = link.AttachToVisio();
    ASSERT_NE(userApp, nullptr);
    testing::AddDrawingWithShape(*userApp, "kept");

    // The program waits 30 s for a busy application; here a second is as good.
    win32::DispatchLink impatient(L"Visio.Application", std::chrono::seconds(1));
    BackupEngine run{impatient, dialogs, choices, clock, locale, files, kLog, ".vsd"};
    run.SaveAll();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(Reports(dialogs).size(), 1u);
    if (!dialogs.messages.empty()) {
        EXPECT_EQ(dialogs.messages[0].text.rfind("Visio stayed busy", 0), 0u)
            << dialogs.messages[0].text;
    }
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(WaitForStandinCount(1), 1) << kLeftOver;
}

}  // namespace
}  // namespace sv::backup
