// stenvault-check.exe itself under Wine, against the stand-in: a clean run, and runs with one
// of the application's ways planted out of line.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "backup/testing/clipboard_win32.h"
#include "backup/testing/standin_win32.h"
#include "common/com_win32.h"
#include "common/handles_win32.h"
#include "common/system_win32.h"
#include "common/text_win32.h"

namespace sv::check {
namespace {

using backup::testing::PlantedFaults;
using backup::testing::ScratchFolder;
using backup::testing::StandinProcessCount;

// Ends the stand-ins that process started and left running, and says how many there were: one
// left behind must not spoil the tests after it.
int EndStandinsStartedBy(DWORD parent) {
    std::vector<DWORD> left;
    for (const sv::win32::RunningProcess& process : sv::win32::RunningProcesses()) {
        if (process.parent == parent &&
            _wcsicmp(process.exeFile.c_str(), L"visio-standin.exe") == 0) {
            left.push_back(process.id);
        }
    }
    for (DWORD id : left) {
        sv::win32::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process && ::TerminateProcess(process.get(), 1)) {
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    return static_cast<int>(left.size());
}

struct CheckRun {
    DWORD exitCode = 0;
    int instancesLeft = 0;
    std::string report;
    std::vector<std::string> lines;  // the check lines, without the first line and summary

    std::vector<std::string> Starting(const std::string& word) const {
        std::vector<std::string> found;
        for (const std::string& line : lines) {
            if (line.rfind(word + " ", 0) == 0) {
                found.push_back(line);
            }
        }
        return found;
    }
};

std::wstring CheckProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"stenvault-check.exe";
}

// Runs the program to its end, its report written to a file of the test's.
CheckRun RunCheck() {
    ScratchFolder folder("check program test");
    const std::wstring output = sv::win32::Widen(folder.path()) + L"\\report.txt";
    std::wstring commandLine = L"\"" + CheckProgram() + L"\" --output \"" + output + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    CheckRun run;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << sv::win32::Narrow(commandLine);
        return run;
    }
    ::CloseHandle(info.hThread);
    sv::win32::UniqueHandle process(info.hProcess);
    if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 99);
        ADD_FAILURE() << "stenvault-check.exe did not end within 120 s";
    }
    ::GetExitCodeProcess(process.get(), &run.exitCode);
    run.instancesLeft = EndStandinsStartedBy(info.dwProcessId);
    sv::win32::UniqueFile file(::CreateFileW(output.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        run.report.append(buffer, got);
    }
    std::istringstream in(run.report);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("PASS ", 0) == 0 || line.rfind("FAIL ", 0) == 0 ||
            line.rfind("UNKNOWN ", 0) == 0) {
            run.lines.push_back(line);
        }
    }
    return run;
}

// Folders the program made for its own saves and left in the temporary folder.
int ScratchFoldersLeft() {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    WIN32_FIND_DATAW data;
    sv::win32::UniqueFind find(
        ::FindFirstFileW((std::wstring(temp, n) + L"Stenvault check *").c_str(), &data));
    int count = 0;
    for (BOOL more = find.get() != INVALID_HANDLE_VALUE; more;
         more = ::FindNextFileW(find.get(), &data)) {
        ++count;
    }
    return count;
}

class CheckProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(StandinProcessCount(), 0); }
    sv::win32::ComApartment apartment_;
};

// Every belief holds for the stand-in; the user's running instance, clipboard and temporary
// folder are as they were.
TEST_F(CheckProgramTest, EveryCheckPassesAgainstTheStandIn) {
    backup::testing::TestWindow owner;
    ASSERT_TRUE(backup::testing::PutText(owner.get(), L"the user's own copy"));
    const int scratchBefore = ScratchFoldersLeft();
    CheckRun run;
    {
        backup::testing::UserInstance user;
        ASSERT_TRUE(user.ready());
        sv::win32::UniqueHandle userProcess(::OpenProcess(SYNCHRONIZE, FALSE, user.processId()));
        run = RunCheck();
        EXPECT_EQ(::WaitForSingleObject(userProcess.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the user's instance was ended";
    }
    EXPECT_EQ(run.exitCode, 0u) << run.report;
    EXPECT_EQ(run.instancesLeft, 0) << "temporary instances left running";
    EXPECT_TRUE(run.Starting("FAIL").empty()) << run.report;
    EXPECT_TRUE(run.Starting("UNKNOWN").empty()) << run.report;
    EXPECT_GE(run.lines.size(), 15u) << run.report;
    EXPECT_NE(run.report.find("Visio Version "), std::string::npos) << run.report;
    EXPECT_EQ(backup::testing::ReadText(), std::optional<std::wstring>(L"the user's own copy"));
    EXPECT_EQ(ScratchFoldersLeft(), scratchBefore);
}

// An instance whose Quit waits on a question nobody sees: the run does not wait with it, and
// the failure shows the question's window.
TEST_F(CheckProgramTest, AQuitThatAsksIsEndedAndItsQuestionNamed) {
    PlantedFaults faults(L"Embedding");
    faults.Set("Saved", "Saved refused.");
    faults.Set("AlertResponse", "AlertResponse refused.");
    CheckRun run = RunCheck();
    EXPECT_EQ(run.exitCode, 1u) << run.report;
    EXPECT_EQ(run.instancesLeft, 0) << "temporary instances left running";
    bool named = false;
    for (const std::string& line : run.Starting("FAIL")) {
        named = named || (line.find("Application.Quit") != std::string::npos &&
                          line.find("showing \"Visio Stand-in\"") != std::string::npos);
    }
    EXPECT_TRUE(named) << run.report;
}

struct PlantedCase {
    const char* member;  // the stand-in member made to misbehave
    const char* data;
    const char* failing;  // the one member every failing line names
    const char* mention;  // and what that line names besides
};

class PlantedDeviationTest : public CheckProgramTest,
                             public ::testing::WithParamInterface<PlantedCase> {};

// The check that rests on the member fails and names it; the others pass, or cannot be
// decided without it.
TEST_P(PlantedDeviationTest, OnlyTheMatchingCheckFails) {
    const PlantedCase& c = GetParam();
    PlantedFaults faults(L"Embedding");
    faults.Set(c.member, c.data);
    CheckRun run = RunCheck();
    EXPECT_EQ(run.exitCode, 1u) << run.report;
    EXPECT_EQ(run.instancesLeft, 0) << "temporary instances left running";
    std::vector<std::string> failed = run.Starting("FAIL");
    ASSERT_FALSE(failed.empty()) << run.report;
    for (const std::string& line : failed) {
        EXPECT_NE(line.find(c.failing), std::string::npos) << run.report;
        EXPECT_NE(line.find(c.mention), std::string::npos) << run.report;
    }
    EXPECT_GE(run.Starting("PASS").size(), 10u) << run.report;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PlantedDeviationTest,
    ::testing::Values(
        PlantedCase{"CreateSelection", "Requested operation is presently disabled.",
                    "Page.CreateSelection", "presently disabled"},
        PlantedCase{"Quit", "Quit was cancelled.", "Application.Quit", "still running"},
        PlantedCase{"Cells:PlowCode", "Unexpected end of file.", "Shape.Cells", "PlowCode"},
        PlantedCase{"TimeEdited", "frozen", "Document.TimeEdited", "did not move when"}));

}  // namespace
}  // namespace sv::check
