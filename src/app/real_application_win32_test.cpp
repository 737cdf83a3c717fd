// The whole program against the stand-in drawing application behaving as the real one does:
// busy, asking before it quits. Starts stenvault.exe, presses "Backup Save Now (Test)" and
// watches from outside. Needs a display and the stand-in registered.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/testing/program_win32.h"
#include "backup/page_copy.h"
#include "backup/dispatch_client_win32.h"
#include "backup/naming.h"
#include "backup/testing/civil_time.h"
#include "backup/testing/clipboard_win32.h"
#include "backup/testing/standin_win32.h"
#include "backup/thinning.h"
#include "common/com_win32.h"
#include "common/system_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {
namespace {

using namespace sv::win32::testing;
using backup::Object;
using backup::testing::PlantedFaults;
using backup::testing::ScratchFolder;
using backup::testing::UserInstance;

std::wstring HistoryLog() {
    wchar_t temp[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    return std::wstring(temp, n) + L"\\Stenvault.txt";
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::filesystem::path> FilesIn(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(Widen(folder))) {
        files.push_back(entry.path());
    }
    return files;
}

// Stand-in processes the program started (its temporary instances), still running.
bool TemporaryInstanceRunning(const Program& program) {
    return !ChildProcesses(program.Id(), kStandInExe).empty();
}

// The user's drawing open in a hand-started stand-in; the program backs it up into a folder.
class RealApplicationTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ::DeleteFileW(HistoryLog().c_str());
        StoreSetting(L"WhereOption", L"1");
        StoreSetting(L"Path", Widen(folder.path()));
        StoreSetting(L"Backup Option", L"1");
        StoreSetting(L"StartStopState", L"Off");
    }
    void TearDown() override {
        userApp.reset();
        user.reset();
        backup::testing::EndStrayStandins();
        ::DeleteFileW(HistoryLog().c_str());
        ProgramTest::TearDown();
    }

    // A one-page drawing with a shape, made without Pages (a planted fault may sit there).
    void StartUserDrawing() {
        user = std::make_unique<UserInstance>();
        ASSERT_TRUE(user->ready());
        userApp = link.AttachToVisio();
        ASSERT_NE(userApp, nullptr);
        backup::testing::AddDrawingWithShape(*userApp, "kept");
    }

    // Starts the program and presses the test button; the run goes on inside the program.
    void PressTestButton() {
        window = program.emplace().WaitForWindow();
        ASSERT_NE(window, nullptr);
        HWND button = program->Control(Control::PushButton2);
        ASSERT_NE(button, nullptr);
        ::PostMessageW(button, BM_CLICK, 0, 0);
    }

    // The run is over once its temporary instance has come and gone and `reports` were shown.
    bool WaitForRunEnd(size_t reports, std::chrono::milliseconds timeout) {
        bool started = false;
        return WaitFor(
            [&] {
                bool running = TemporaryInstanceRunning(*program);
                started = started || running;
                return started && !running && program->Dialogs().size() >= reports &&
                       (reports > 0 || !ReadAll(HistoryLog()).empty());
            },
            timeout);
    }

    ComApartment apartment;
    backup::win32::DispatchLink link;
    ScratchFolder folder{"real application backups"};
    std::unique_ptr<UserInstance> user;
    Object userApp;
    std::optional<Program> program;
    HWND window = nullptr;
};

TEST_F(RealApplicationTest, TheUserInstanceBusyForAMomentDelaysTheBackupWithoutAReport) {
    PlantedFaults faults(L"Interactive");
    faults.Set("ActiveDocument", "busy 3");
    StartUserDrawing();
    PressTestButton();
    ASSERT_TRUE(WaitForRunEnd(0, 90s)) << "no backup was logged";
    EXPECT_TRUE(program->Dialogs().empty()) << Narrow(program->Dialogs()[0].text);
    EXPECT_NE(ReadAll(HistoryLog()).find(" was backup saved as "), std::string::npos);
}

TEST_F(RealApplicationTest, TheUserInstanceBusyForEverGivesOneReportAndTheWindowKeepsAnswering) {
    PlantedFaults faults(L"Interactive");
    faults.Set("Pages", "busy forever");
    StartUserDrawing();
    PressTestButton();
    const auto pressed = std::chrono::steady_clock::now();

    // Throughout the wait the window answers at once; ghosting starts after 5 s without.
    int pings = 0;
    int unanswered = 0;
    bool ended = WaitFor(
        [&] {
            DWORD_PTR result = 0;
            ++pings;
            if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) {
                ++unanswered;
            }
            bool running = TemporaryInstanceRunning(*program);
            return !running && program->Dialogs().size() >= 1 &&
                   std::chrono::steady_clock::now() - pressed > 2s;
        },
        60s);
    const auto took = std::chrono::steady_clock::now() - pressed;
    ASSERT_TRUE(ended) << "the run did not end";
    EXPECT_LT(took, 40s) << "the run took "
                         << std::chrono::duration_cast<std::chrono::seconds>(took).count() << " s";
    EXPECT_EQ(unanswered, 0) << "of " << pings << " pings";
    EXPECT_GT(pings, 20);

    // One report, whatever else the run met; nothing logged; no started instance left.
    std::this_thread::sleep_for(2s);
    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].text.find(L"busy"), std::wstring::npos) << Narrow(dialogs[0].text);
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
}

TEST_F(RealApplicationTest, AFailedSaveIsReportedOnceAndNoQuestionIsLeftOpen) {
    PlantedFaults faults(L"Embedding");
    faults.Set("SaveAs", "The disk is full.");
    StartUserDrawing();
    PressTestButton();
    ASSERT_TRUE(WaitForRunEnd(1, 90s)) << "the run did not return";
    std::this_thread::sleep_for(1s);
    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].text.find(L"The disk is full."), std::wstring::npos);
    EXPECT_NE(dialogs[0].text.find(L"162"), std::wstring::npos) << Narrow(dialogs[0].text);
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    // Only the user's instance is left, and no box of the drawing application waits.
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
    EXPECT_EQ(backup::testing::StandinProcessCount(), 1);
    EXPECT_EQ(::FindWindowW(L"#32770", L"Visio Stand-in"), nullptr);
    // The program still answers.
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result));
}

TEST_F(RealApplicationTest, AnInstanceNamingAnotherProcessIsEndedAndThatProcessLives) {
    backup::testing::BystanderProcess bystander;
    ASSERT_TRUE(bystander.alive());
    PlantedFaults faults(L"Embedding");
    faults.Set("ProcessID", "pid " + std::to_string(bystander.processId()));
    faults.Set("Quit", "Quit was refused.");
    StartUserDrawing();
    PressTestButton();
    // The refused Quit, then the grace for it, then the end by force.
    const bool ended = WaitForRunEnd(1, 90s);
    EXPECT_TRUE(bystander.alive()) << "a process the instance named was ended";
    ASSERT_TRUE(ended) << "the run did not return";
    std::this_thread::sleep_for(1s);
    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].text.find(L"Quit was refused."), std::wstring::npos);
    EXPECT_NE(dialogs[0].text.find(L"166"), std::wstring::npos) << Narrow(dialogs[0].text);
    EXPECT_TRUE(bystander.alive());
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
    EXPECT_EQ(backup::testing::StandinProcessCount(), 1);
}

TEST_F(RealApplicationTest, InstancesBusyFromTheirStartAreEndedAndTheRunSaysSoOnce) {
    PlantedFaults faults(L"Embedding");
    faults.Set("Start", "busy forever");
    StartUserDrawing();
    // The start-up check waits out its instance's refusals, then the window comes up.
    window = program.emplace().WaitForWindow(90s);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(program->Dialogs().empty());
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
    EXPECT_EQ(backup::testing::StandinProcessCount(), 1);

    ::PostMessageW(program->Control(Control::PushButton2), BM_CLICK, 0, 0);
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForRunEnd(1, 90s)) << "the run's instance was not ended, or nothing was said";
    const auto took = std::chrono::steady_clock::now() - pressed;
    EXPECT_LT(took, 40s) << "the run took "
                         << std::chrono::duration_cast<std::chrono::seconds>(took).count() << " s";
    std::this_thread::sleep_for(2s);
    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].text.find(L"busy"), std::wstring::npos) << Narrow(dialogs[0].text);
    EXPECT_NE(dialogs[0].text.find(L"at line 142\r"), std::wstring::npos)
        << Narrow(dialogs[0].text);
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    EXPECT_EQ(backup::testing::StandinProcessCount(), 1);
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result));
}

// The user's drawing as the test can see it: name, whether saved, pages, shape texts.
std::string DescribeActiveDrawing(backup::AutomationObject& app) {
    Object document = app.GetObj("ActiveDocument");
    std::string text = document->GetText("Name") + " saved " + document->GetText("Saved");
    Object pages = document->GetObj("Pages");
    for (int i = 1, n = pages->Get("Count").Integer(); i <= n; ++i) {
        Object shapes = pages->GetObj("Item", {i})->GetObj("Shapes");
        text += " | " + std::to_string(i) + ":";
        for (int k = 1, m = shapes->Get("Count").Integer(); k <= m; ++k) {
            text += " " + shapes->GetObj("Item", {k})->GetText("Text");
        }
    }
    return text;
}

bool InAJob(DWORD process) {
    UniqueHandle handle(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process));
    BOOL in = FALSE;
    return handle && ::IsProcessInJob(handle.get(), nullptr, &in) && in;
}

// Ended from outside in the middle of a run (the task manager, a crash): the run's instance,
// put in the program's job and then busy, ends with the program. The user's drawing is as it
// was, and the program starts again as usual.
TEST_F(RealApplicationTest, TheProgramEndedFromOutsideTakesItsInstanceWithIt) {
    std::optional<PlantedFaults> faults(std::in_place, L"Embedding");
    faults->Set("Documents", "busy forever");
    StartUserDrawing();
    const std::string before = DescribeActiveDrawing(*userApp);
    PressTestButton();
    ASSERT_TRUE(WaitFor(
        [&] {
            std::vector<DWORD> started = ChildProcesses(program->Id(), kStandInExe);
            return started.size() == 1 && InAJob(started[0]);
        },
        60s))
        << "the run's instance did not go into a job";
    ASSERT_TRUE(::TerminateProcess(program->Process(), 1));
    ASSERT_TRUE(program->Exited(5s));
    EXPECT_TRUE(WaitFor([] { return backup::testing::StandinProcessCount() == 1; }, 5s))
        << backup::testing::StandinProcessCount() << " stand-in processes left";
    EXPECT_EQ(DescribeActiveDrawing(*userApp), before);
    EXPECT_EQ(ReadAll(HistoryLog()), "");

    faults.reset();
    window = program.emplace().WaitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(program->Dialogs().empty());
    EXPECT_TRUE(program->Close());
}

// A file or folder last written `age` ago.
void Plant(const std::wstring& path, std::chrono::seconds age, bool folder = false) {
    if (folder) {
        ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    } else {
        std::ofstream(std::filesystem::path(path), std::ios::binary) << "half a drawing";
    }
    UniqueFile handle(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(handle);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when;
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart -= static_cast<ULONGLONG>(age.count()) * 10'000'000;
    const FILETIME written{when.LowPart, when.HighPart};
    ASSERT_TRUE(::SetFileTime(handle.get(), nullptr, nullptr, &written));
}

// What runs that were ended left beside the backups goes with the next backup into that
// folder, and only that.
TEST_F(RealApplicationTest, TheNextBackupRemovesWhatAnEndedRunLeftAndNothingElse) {
    const std::wstring in = Widen(folder.path()) + L"\\";
    const std::wstring old = L"~Stenvault unfinished 1001.vsd";
    const std::vector<std::wstring> kept = {
        L"~Stenvault unfinished 1002.vsd",  // just written: a run in progress may own it
        L"~Stenvault unfinished 10o3.vsd",  // look-alike names
        L"~Stenvault unfinished 1003.vsdx",
        L"~Stenvault unfinished 1004.vsd",  // a folder
        L"~Stenvault unfinished 1005.vsd",  // read-only
        L"~Stenvault unfinished 1006.vsd",  // open
    };
    Plant(in + old, 2h);
    Plant(in + kept[0], 0s);
    Plant(in + kept[1], 2h);
    Plant(in + kept[2], 2h);
    Plant(in + kept[3], 2h, true);
    Plant(in + kept[4], 2h);
    ASSERT_TRUE(::SetFileAttributesW((in + kept[4]).c_str(), FILE_ATTRIBUTE_READONLY));
    Plant(in + kept[5], 2h);
    UniqueFile open(::CreateFileW((in + kept[5]).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);

    StartUserDrawing();
    PressTestButton();
    ASSERT_TRUE(WaitForRunEnd(0, 90s)) << "no backup was logged";
    EXPECT_TRUE(program->Dialogs().empty()) << Narrow(program->Dialogs()[0].text);
    EXPECT_EQ(::GetFileAttributesW((in + old).c_str()), INVALID_FILE_ATTRIBUTES);
    for (const std::wstring& name : kept) {
        EXPECT_NE(::GetFileAttributesW((in + name).c_str()), INVALID_FILE_ATTRIBUTES)
            << Narrow(name) << " was removed";
    }
    ::SetFileAttributesW((in + kept[4]).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The user's three-page drawing, each page with its own cell values and two shapes far from
// its centre; the user looks at page 2 with its first shape selected.
class RealApplicationPageTest : public RealApplicationTest {
  protected:
    struct PageContent {
        std::vector<backup::Arg> cells;  // the 43, in copy order; empty where unreadable
        std::vector<std::string> texts;
        std::vector<std::pair<backup::Arg, backup::Arg>> pins;
    };

    void StartThreePageDrawing() {
        user = std::make_unique<UserInstance>();
        ASSERT_TRUE(user->ready());
        userApp = link.AttachToVisio();
        ASSERT_NE(userApp, nullptr);
        userApp->GetObj("Documents")->Call("Add", {std::string()});
        Object pages = userApp->GetObj("ActiveDocument")->GetObj("Pages");
        pages->Call("Add");
        pages->Call("Add");
        for (int i = 1; i <= 3; ++i) {
            Object page = pages->GetObj("Item", {i});
            Object sheet = page->GetObj("PageSheet");
            // PlowCode keeps its value: a planted fault may guard it.
            for (std::size_t k = 0; k < backup::kPageCells.size(); ++k) {
                if (backup::kPageCells[k].name != "PlowCode") {
                    sheet->GetObj("CellsU", {std::string(backup::kPageCells[k].name)})
                        ->PutDefault(backup::Arg(100.0 * i + static_cast<double>(k)));
                }
            }
            if (i == 2) {
                Object window = userApp->GetObj("ActiveWindow");
                window->Put("Page", page->GetText("Name"));
                DrawShape(*page, i, 1);
                window->Call("SelectAll");
                DrawShape(*page, i, 2);
            } else {
                DrawShape(*page, i, 1);
                DrawShape(*page, i, 2);
            }
        }
        ASSERT_EQ(WindowState(), "Page-2 Page 2 shape 1");
    }
    static void DrawShape(backup::AutomationObject& page, int i, int s) {
        page.Call("DrawRectangle", {0.5 * s + i, 0.5, 0.5 * s + i + 0.25, 1.0})
            .TakeObject()
            ->Put("Text", "Page " + std::to_string(i) + " shape " + std::to_string(s));
    }
    // The page the user's window shows and the texts of its selected shapes.
    std::string WindowState() {
        Object window = userApp->GetObj("ActiveWindow");
        std::string state = window->GetObj("Page")->GetText("Name");
        Object selection = window->GetObj("Selection");
        for (int i = 1, n = selection->Get("Count").Integer(); i <= n; ++i) {
            state += " " + selection->GetObj("Item", {i})->GetText("Text");
        }
        return state;
    }
    static backup::Arg ReadCell(backup::AutomationObject& sheet, std::string_view name) {
        try {
            return sheet.GetObj("CellsU", {std::string(name)})->GetDefault().AsArg();
        } catch (const std::exception&) {
            return {};
        }
    }
    static std::vector<PageContent> ReadDrawing(backup::AutomationObject& document) {
        std::vector<PageContent> content;
        Object pages = document.GetObj("Pages");
        for (int i = 1, n = pages->Get("Count").Integer(); i <= n; ++i) {
            Object page = pages->GetObj("Item", {i});
            PageContent c;
            Object sheet = page->GetObj("PageSheet");
            for (const backup::PageCell& cell : backup::kPageCells) {
                c.cells.push_back(ReadCell(*sheet, cell.name));
            }
            Object shapes = page->GetObj("Shapes");
            for (int s = 1, count = shapes->Get("Count").Integer(); s <= count; ++s) {
                Object shape = shapes->GetObj("Item", {s});
                c.texts.push_back(shape->GetText("Text"));
                c.pins.emplace_back(ReadCell(*shape, "PinX"), ReadCell(*shape, "PinY"));
            }
            content.push_back(std::move(c));
        }
        return content;
    }
    // The one backup in the folder, opened in an instance of its own.
    std::vector<PageContent> ReadBackup() {
        WIN32_FIND_DATAW found{};
        const std::wstring folderPath = Widen(folder.path());
        HANDLE search = ::FindFirstFileW((folderPath + L"\\*.vsd").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            ADD_FAILURE() << "no backup was written";
            return {};
        }
        ::FindClose(search);
        Object reader = link.StartVisio().app;
        std::vector<PageContent> content;
        {
            Object backup = reader->GetObj("Documents")
                                ->Call("Open", {Narrow(folderPath + L"\\" + found.cFileName)})
                                .TakeObject();
            content = ReadDrawing(*backup);
        }
        backup::testing::QuitQuietly(*reader);
        return content;
    }
};

// Titles of the user's application window, polled from a thread of its own while it lives:
// its caption names the page its window shows.
class TitleWatch {
  public:
    explicit TitleWatch(DWORD process) : process_(process), thread_([this] { Watch(); }) {}
    TitleWatch(const TitleWatch&) = delete;
    TitleWatch& operator=(const TitleWatch&) = delete;
    ~TitleWatch() { Stop(); }

    std::vector<std::wstring> Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        return titles_;
    }

  private:
    void Watch() {
        while (!stop_) {
            ::EnumWindows(
                [](HWND window, LPARAM self) -> BOOL {
                    auto* watch = reinterpret_cast<TitleWatch*>(self);
                    std::wstring title = TextOf(window);
                    if (ProcessOf(window) == watch->process_ &&
                        title.find(L"Visio Stand-in") != std::wstring::npos &&
                        (watch->titles_.empty() || watch->titles_.back() != title)) {
                        watch->titles_.push_back(title);
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(5ms);
        }
    }

    DWORD process_;
    std::atomic<bool> stop_{false};
    std::vector<std::wstring> titles_;
    std::thread thread_;
};

struct PageRun {
    std::string name;
    std::vector<std::pair<std::string, std::string>> userFaults;  // Interactive
    std::vector<std::pair<std::string, std::string>> tempFaults;  // Embedding
    bool guardedCell;      // PlowCode refused: one report at line 132, the other 42 arrive
    bool windowUntouched;  // never turned during the run
};

class RealApplicationPageRunTest : public RealApplicationPageTest,
                                   public ::testing::WithParamInterface<PageRun> {};

TEST_P(RealApplicationPageRunTest, EveryPageArrivesAsItIsAndTheUsersWindowStaysOnItsPage) {
    const PageRun& r = GetParam();
    std::optional<PlantedFaults> userFaults(std::in_place, L"Interactive");
    std::optional<PlantedFaults> tempFaults(std::in_place, L"Embedding");
    for (const auto& [member, data] : r.userFaults) {
        userFaults->Set(member, data);
    }
    for (const auto& [member, data] : r.tempFaults) {
        tempFaults->Set(member, data);
    }
    StartThreePageDrawing();
    const std::vector<PageContent> before = ReadDrawing(*userApp->GetObj("ActiveDocument"));
    // Copies, selections, cell reads and page turns are no edits of the user's drawing.
    const auto edited = [&] {
        Object document = userApp->GetObj("ActiveDocument");
        return std::pair(document->Get("TimeEdited").AsDate(), document->Get("Saved").AsArg());
    };
    const auto editedBefore = edited();
    TitleWatch titles(user->processId());
    backup::testing::StartedWindowWatch started(user->processId());
    PressTestButton();
    ASSERT_TRUE(WaitForRunEnd(r.guardedCell ? 1 : 0, 90s)) << "the run did not end";
    std::this_thread::sleep_for(1s);
    const std::vector<std::wstring> seen = titles.Stop();
    started.Stop();
    // Neither the start-up check's instance nor the run's ever showed a window.
    EXPECT_EQ(started.seen(), 0);
    tempFaults.reset();

    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), r.guardedCell ? 1u : 0u) << Narrow(dialogs[0].text);
    if (r.guardedCell) {
        EXPECT_NE(dialogs[0].text.find(L"at line 132\r"), std::wstring::npos)
            << Narrow(dialogs[0].text);
    }
    EXPECT_NE(ReadAll(HistoryLog()).find(" was backup saved as "), std::string::npos);
    EXPECT_EQ(WindowState(), "Page-2 Page 2 shape 1");
    EXPECT_EQ(edited(), editedBefore);
    if (r.windowUntouched) {
        EXPECT_EQ(seen.size(), 1u) << "the user's window turned to " << Narrow(seen.back());
    }

    const std::vector<PageContent> copied = ReadBackup();
    ASSERT_EQ(copied.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t k = 0; k < backup::kPageCells.size(); ++k) {
            if (!(r.guardedCell && backup::kPageCells[k].name == "PlowCode")) {
                EXPECT_EQ(copied[i].cells[k], before[i].cells[k])
                    << "page " << i + 1 << " " << backup::kPageCells[k].name;
            }
        }
        EXPECT_EQ(copied[i].texts, before[i].texts) << "page " << i + 1;
        EXPECT_EQ(copied[i].pins, before[i].pins) << "page " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RealApplicationPageRunTest,
    ::testing::Values(
        PageRun{"ShapesKeepTheirPlaces", {}, {}, false, true},
        PageRun{
            "LocalCellNames", {{"Cells", "local names"}}, {{"Cells", "local names"}}, false, true},
        PageRun{"GuardedCellInTheUserInstance",
                {{"Cells:PlowCode", "Cell PlowCode is guarded."}},
                {},
                true,
                true},
        PageRun{"GuardedCellInTheTemporaryInstance",
                {},
                {{"Cells:PlowCode", "Cell PlowCode is guarded."}},
                true,
                true},
        // An application that cannot select a page's shapes without a window: the user's
        // window is turned, and put back on its page with its selection.
        PageRun{"NoPageSelections", {{"CreateSelection", "Not implemented."}}, {}, false, false},
        // Too busy at first to be told Visible = False.
        PageRun{"TemporaryInstancesBusyAtTheirStart", {}, {{"Start", "busy 3"}}, false, true}),
    [](const auto& info) { return info.param.name; });

// "Back up only when the drawing has changed" at the 30-second interval. Time passes by the
// countdown's tick sent to the window as its timer sends it: a send returns once the tick, and
// a run it started, is done. The first interval copies; two more with nobody editing leave the
// drawing alone; an edit made in the user's instance through automation, as a macro of the
// user's would make it, is backed up at the next interval.
TEST_F(RealApplicationTest, AtThirtySecondsOnlyAChangedDrawingIsBackedUp) {
    // The stand-in copies a drawing within the second it made it, where a clock of whole
    // seconds cannot show an edit; this pause makes the copy as long as a real application's.
    PlantedFaults faults(L"Embedding");
    faults.Set("Item", "busy 1");
    StoreSetting(L"OftenIndex", L"1");
    StoreSetting(L"StartStopState", L"On");
    StoreSetting(L"Changed Only", L"On");
    StartUserDrawing();
    window = program.emplace().WaitForWindow();
    ASSERT_NE(window, nullptr);
    const HWND bar = program->Control(Control::ProgressBar1);
    // Ticks until a run has come and gone: the bar then starts again from the beginning.
    const auto interval = [&] {
        LRESULT last = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
        for (int tick = 0; tick < 60; ++tick) {
            ::SendMessageW(window, WM_TIMER, 1, 0);
            const LRESULT now = ::SendMessageW(bar, PBM_GETPOS, 0, 0);
            if (now < last) {
                return true;
            }
            last = now;
        }
        return false;
    };
    // One history line a backup.
    const auto backups = [] {
        const std::string log = ReadAll(HistoryLog());
        return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    };
    ASSERT_TRUE(interval());
    EXPECT_EQ(backups(), 1);
    ASSERT_TRUE(interval());
    ASSERT_TRUE(interval());
    EXPECT_EQ(backups(), 1);
    EXPECT_EQ(FilesIn(folder.path()).size(), 1u);

    userApp->GetObj("ActiveDocument")
        ->GetObj("Pages")
        ->GetObj("Item", {1})
        ->Call("DrawRectangle", {3.0, 3.0, 4.0, 4.0});
    ASSERT_TRUE(interval());
    EXPECT_EQ(backups(), 2);
    EXPECT_TRUE(program->Dialogs().empty()) << Narrow(program->Dialogs()[0].text);
}

// End task, taskkill, an installer: the window is closed while the run asks where a drawing
// never saved should go. The prompt must not come back for ever to a window that is gone.
TEST_F(RealApplicationTest, TheWindowClosedDuringTheFolderPromptEndsTheProgram) {
    StoreSetting(L"WhereOption", L"2");
    StartUserDrawing();
    PressTestButton();
    ASSERT_TRUE(WaitFor([&] { return program->FolderPrompt() != nullptr; }, 60s));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->Exited(10s)) << "the program is still running";
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
}

// Logoff during a run: the answer holds the session up while the run puts things back, and
// the program then ends on its own, leaving no instance, no backup and the user's clipboard.
// A report open at that moment would keep the run waiting on someone who has left.
struct SessionEndCase {
    const char* name;
    const char* member;  // of the temporary instance
    const char* fault;
    bool reportOpen;
};
void PrintTo(const SessionEndCase& c, std::ostream* os) {
    *os << c.name;
}

class SessionEndDuringARun : public RealApplicationTest,
                             public ::testing::WithParamInterface<SessionEndCase> {};

TEST_P(SessionEndDuringARun, IsHeldUpUntilTheRunHasPutThingsBack) {
    PlantedFaults faults(L"Embedding");
    faults.Set(GetParam().member, GetParam().fault);
    StartUserDrawing();
    backup::testing::TestWindow owner;
    const std::wstring text = L"the user's own copy";
    ASSERT_TRUE(backup::testing::PutText(owner.get(), text));
    PressTestButton();
    const std::size_t reports = GetParam().reportOpen ? 1 : 0;
    if (reports > 0) {
        program->LeaveDialogsOpen();
    }
    // The run's own copy has replaced the user's: a page is under way, or its report is up.
    ASSERT_TRUE(WaitFor(
        [&] { return backup::testing::ReadText() != text && program->Dialogs().size() >= reports; },
        60s));
    DWORD_PTR answer = 1;
    ASSERT_TRUE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                      5000, &answer));
    EXPECT_EQ(answer, 0u);
    EXPECT_TRUE(program->Exited(40s)) << "the program is still running";
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
    EXPECT_EQ(backup::testing::ReadText(), text);
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    EXPECT_EQ(program->Dialogs().size(), reports);
}

INSTANTIATE_TEST_SUITE_P(
    RealApplication, SessionEndDuringARun,
    ::testing::Values(SessionEndCase{"TheTemporaryInstanceBusy", "Paste", "busy 8", false},
                      SessionEndCase{"AReportOpen", "SaveAs", "The disk is full.", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The end of a run whose copy or save fails, with the day's earlier backup at the target in
// overwrite mode: the earlier backup stays byte for byte, nothing is logged, no other file is
// left in the folder, and a failed save is shown whatever the copy showed before it.
struct FailedEnd {
    const char* name;
    bool overwrite;
    std::vector<std::pair<std::string, std::string>> temporaryFaults;
    std::vector<std::pair<std::string, std::string>> userFaults;
    std::vector<const wchar_t*> lines;  // of the reports, in order
};

class RealApplicationEndTest : public RealApplicationTest,
                               public ::testing::WithParamInterface<FailedEnd> {};

TEST_P(RealApplicationEndTest, TheEarlierBackupStaysAndTheFailedSaveIsShown) {
    const FailedEnd& e = GetParam();
    PlantedFaults temporary(L"Embedding");
    PlantedFaults interactive(L"Interactive");
    for (const auto& [member, data] : e.temporaryFaults) {
        temporary.Set(member, data);
    }
    for (const auto& [member, data] : e.userFaults) {
        interactive.Set(member, data);
    }
    StoreSetting(L"Backup Option", e.overwrite ? L"2" : L"1");
    StartUserDrawing();
    const std::string name = userApp->GetObj("ActiveDocument")->GetText("Name");
    Win32Clock clock;
    Win32Locale locale;
    const std::filesystem::path earlier = Widen(backup::StampName(
        folder.path() + "\\" + name, backup::NamingMode::Overwrite, clock, locale, ".vsd"));
    const std::string earlierBytes = "this morning's backup, whole";
    if (e.overwrite) {
        std::ofstream(earlier, std::ios::binary) << earlierBytes;
    }

    PressTestButton();
    ASSERT_TRUE(WaitForRunEnd(e.lines.size(), 90s)) << "the run did not return";
    std::this_thread::sleep_for(1s);
    auto dialogs = program->Dialogs();
    ASSERT_EQ(dialogs.size(), e.lines.size());
    for (std::size_t i = 0; i < dialogs.size(); ++i) {
        EXPECT_NE(dialogs[i].text.find(std::wstring(L"at line ") + e.lines[i]), std::wstring::npos)
            << Narrow(dialogs[i].text);
    }
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    if (e.overwrite) {
        EXPECT_EQ(ReadAll(earlier.wstring()), earlierBytes);
        EXPECT_EQ(FilesIn(folder.path()), std::vector<std::filesystem::path>{earlier});
    } else {
        EXPECT_TRUE(FilesIn(folder.path()).empty());
    }
    EXPECT_FALSE(TemporaryInstanceRunning(*program));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, RealApplicationEndTest,
    ::testing::Values(
        FailedEnd{"ACellAndTheSaveWithOneDescription",
                  false,
                  {{"Cells:PlowCode", "Unspecified error"}, {"SaveAs", "Unspecified error"}},
                  {},
                  {L"132", L"162"}},
        FailedEnd{"ASaveThatWritesHalfTheFile", true, {{"SaveAs", "partial"}}, {}, {L"162"}},
        FailedEnd{"TheUsersCopy", true, {}, {{"Copy", "Failed here."}}, {L"104", L"162"}},
        FailedEnd{"TheTemporaryPaste", true, {{"Paste", "Failed here."}}, {}, {L"196", L"162"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The folder's files with their bytes, subfolders marked by a trailing backslash.
std::map<std::string, std::string> FolderContent(const std::string& folder) {
    std::map<std::string, std::string> content;
    for (const auto& entry : std::filesystem::directory_iterator(Widen(folder))) {
        const std::string leaf = Narrow(entry.path().filename().wstring());
        content[entry.is_directory() ? leaf + "\\" : leaf] =
            entry.is_directory() ? "" : ReadAll(entry.path().wstring());
    }
    return content;
}

// Where Wine's Recycle Bin keeps its files: the XDG trash our scripts give each prefix, if any.
std::optional<std::wstring> WineTrash() {
    wchar_t data[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"XDG_DATA_HOME", data, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return std::nullopt;
    }
    std::wstring folder = L"Z:" + std::wstring(data, n) + L"/Trash";
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return folder;
}

// A year of the drawing's backups in both naming modes, among another drawing's, the user's
// look-alikes, subfolders and a read-only backup. One backup with "Thin out older backups"
// clear removes nothing; the next, with the box set, removes what the rules do not keep, and
// nothing else in the folder changes.
TEST_F(RealApplicationTest, ThinningRemovesWhatTheRulesDoNotKeepAndNothingElse) {
    using std::chrono::hours;
    using std::chrono::minutes;
    using std::chrono::seconds;
    StartUserDrawing();
    const std::string name = userApp->GetObj("ActiveDocument")->GetText("Name");
    Win32Clock clock;
    Win32Locale locale;
    const LocalTime now = clock.Now();
    auto leaf = [&](const std::string& drawing, backup::NamingMode mode, seconds ago) {
        backup::testing::FakeClock at;
        at.times = {backup::testing::Before(now, ago)};
        return backup::StampName(drawing, mode, at, locale, ".vsd");
    };
    std::map<std::string, std::string> seeds;
    std::vector<std::string> ours;  // the drawing's backups, as candidates below
    std::vector<backup::Candidate> candidates;
    // A quarter of an hour or more from every span's end, whenever the run's moment falls.
    auto ourBackup = [&](backup::NamingMode mode, seconds ago) {
        const bool dayOnly = mode == backup::NamingMode::Overwrite;
        const LocalTime m = backup::testing::Before(now, ago);
        const LocalTime moment = dayOnly ? LocalTime{m.year, m.month, m.day} : m;
        const seconds age = backup::testing::OnTheClock(now) - backup::testing::OnTheClock(moment) -
                            (dayOnly ? hours(24) : 0s);
        for (const seconds end : {hours(2), hours(48), hours(24 * 60), hours(24 * 364)}) {
            if (age > end - minutes(15) && age < end + minutes(15)) {
                return;
            }
        }
        ours.push_back(leaf(name, mode, ago));
        candidates.push_back({{moment, dayOnly}});
        seeds[ours.back()] = "backup " + std::to_string(ours.size());
    };
    for (seconds ago = minutes(15); ago < hours(3); ago += seconds(250)) {
        ourBackup(backup::NamingMode::NewFile, ago);
    }
    for (seconds ago = hours(3); ago < hours(24 * 365); ago += hours(89) + minutes(7)) {
        ourBackup(backup::NamingMode::NewFile, ago);
    }
    for (int day = 2; day < 380; day += 11) {
        ourBackup(backup::NamingMode::Overwrite, hours(24 * day));
    }
    const seconds oldAge = hours(24 * 200 + 5);
    const std::string old = leaf(name, backup::NamingMode::NewFile, oldAge);
    const std::string oldBase = old.substr(0, old.size() - 4);
    for (const std::string& file :
         {leaf(name + "2", backup::NamingMode::NewFile, hours(24 * 100)),
          leaf(name + "2", backup::NamingMode::Overwrite, hours(24 * 30)),
          "Copy of " + leaf(name, backup::NamingMode::Overwrite, hours(24 * 3)),
          oldBase + " (2).vsd", old + ".txt", oldBase + ".VSD", name + ".vsdx",
          std::string("~Stenvault unfinished 17.vsd"), old}) {
        seeds[file] = "not a candidate";
    }
    // Wine gives a file whose name the trash holds already another name there.
    const std::optional<std::wstring> trash = WineTrash();
    for (const std::string& file : ours) {
        if (trash) {
            ::DeleteFileW((*trash + L"\\files\\" + Widen(file)).c_str());
            ::DeleteFileW((*trash + L"\\info\\" + Widen(file) + L".trashinfo").c_str());
        }
    }
    const std::wstring at = Widen(folder.path()) + L"\\";
    for (const auto& [file, bytes] : seeds) {
        std::ofstream(std::filesystem::path(at + Widen(file)), std::ios::binary) << bytes;
    }
    ::SetFileAttributesW((at + Widen(old)).c_str(), FILE_ATTRIBUTE_READONLY);
    ::CreateDirectoryW((at + L"old").c_str(), nullptr);
    std::ofstream(std::filesystem::path(at + L"old\\" + Widen(ours.back()))) << "kept";
    ::CreateDirectoryW(
        (at + Widen(leaf(name, backup::NamingMode::NewFile, hours(24 * 150 + 7)))).c_str(),
        nullptr);
    const std::map<std::string, std::string> before = FolderContent(folder.path());
    // The folder as it should be but for one new backup, which it gives.
    auto oneMore = [&](const std::map<std::string, std::string>& expected) {
        std::map<std::string, std::string> now = FolderContent(folder.path());
        std::string added;
        for (const auto& [file, bytes] : now) {
            if (!expected.count(file)) {
                added = file;
            }
        }
        now.erase(added);
        EXPECT_EQ(now, expected);
        return added;
    };

    // The history line comes before the thinning: the run is over once the window answers.
    auto runOver = [&] {
        DWORD_PTR result = 0;
        return WaitForRunEnd(0, 90s) &&
               ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    };
    PressTestButton();
    ASSERT_TRUE(runOver()) << "no backup was logged";
    std::map<std::string, std::string> expected = before;
    const std::string first = oneMore(expected);
    expected[first] = ReadAll(at + Widen(first));
    const LocalTime firstEnded = clock.Now();

    // The box set in the running program; the next backup thins.
    const HWND box = program->Control(Control::Check10);
    ::SendMessageW(box, BM_CLICK, 0, 0);
    ASSERT_TRUE(Checked(box));
    EXPECT_EQ(StoredSettings()[L"Thin Out"], L"On");
    ::DeleteFileW(HistoryLog().c_str());
    const LocalTime pressed = clock.Now();
    ::PostMessageW(program->Control(Control::PushButton2), BM_CLICK, 0, 0);
    ASSERT_TRUE(runOver()) << "no backup was logged";
    const LocalTime ended = clock.Now();
    EXPECT_TRUE(program->Dialogs().empty()) << Narrow(program->Dialogs()[0].text);

    // What the rules remove, for the earliest and the latest moment the run could have had.
    auto notKept = [&](const LocalTime& t, std::vector<backup::Candidate> all) {
        all.push_back({{firstEnded, false}});
        all.push_back({{t, false}, true});
        return backup::NotKept(all, t);
    };
    const std::vector<std::size_t> removed = notKept(pressed, candidates);
    ASSERT_EQ(notKept(ended, candidates), removed) << "a seed falls on a span's end";
    ASSERT_GT(removed.size(), 40u);
    ASSERT_LE(removed.size(), backup::kMostRemovedInARun);
    for (const std::size_t i : removed) {
        expected.erase(ours[i]);
        // In the Recycle Bin where the prefix has one, deleted otherwise.
        if (trash) {
            EXPECT_EQ(ReadAll(*trash + L"\\files\\" + Widen(ours[i])), seeds[ours[i]]);
        }
    }
    oneMore(expected);
    EXPECT_TRUE(::GetFileAttributesW((at + Widen(old)).c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(backup::testing::FileExistsUtf8(folder.path() + "\\old\\" + ours.back()));
    // The read-only backup would have gone as a candidate.
    candidates.push_back({{backup::testing::Before(now, oldAge), false}});
    const std::vector<std::size_t> withOld = notKept(ended, candidates);
    EXPECT_NE(std::find(withOld.begin(), withOld.end(), candidates.size() - 1), withOld.end());
}

}  // namespace
}  // namespace sv::win32
