// The whole program against the stand-in drawing application behaving as the real one does:
// busy, asking before it quits. Starts stenvault.exe, presses "Backup Save Now (Test)" and
// watches from outside. Needs a display and the stand-in registered.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/testing/program_win32.h"
#include "backup/dispatch_client_win32.h"
#include "backup/testing/clipboard_win32.h"
#include "backup/testing/standin_win32.h"
#include "common/com_win32.h"
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

}  // namespace
}  // namespace sv::win32
