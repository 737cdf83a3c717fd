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
#include <sstream>
#include <string>
#include <vector>

#include "app/testing/program_win32.h"
#include "backup/dispatch_client_win32.h"
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

TEST_F(RealApplicationTest, InstancesBusyFromTheirStartAreEndedWithAtMostOneReport) {
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
    bool started = false;
    ASSERT_TRUE(WaitFor(
        [&] {
            bool running = TemporaryInstanceRunning(*program);
            started = started || running;
            return started && !running;
        },
        90s))
        << "the run's instance was not ended";
    std::this_thread::sleep_for(2s);
    EXPECT_LE(program->Dialogs().size(), 1u);
    EXPECT_EQ(ReadAll(HistoryLog()), "");
    EXPECT_EQ(backup::testing::StandinProcessCount(), 1);
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result));
}

}  // namespace
}  // namespace sv::win32
