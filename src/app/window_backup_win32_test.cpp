// Backup runs started from the real window under Wine, against a stand-in drawing
// application the test starts as the user's. Needs a display and the stand-in registered.
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <string>

#include "app/testing/program_win32.h"
#include "backup/testing/standin_win32.h"
#include "common/com_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {
namespace {

using namespace sv::win32::testing;

std::wstring TempLogPath() {
    wchar_t temp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    return std::wstring(temp) + L"\\Stenvault.txt";
}

std::string FileText(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return "";
    }
    std::string text(64 * 1024, '\0');
    DWORD read = 0;
    ::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    text.resize(read);
    return text;
}

bool MentionsLine(const DialogAnswerer::Seen& report, const wchar_t* location) {
    return report.title == L"Application Error" && report.text.find(location) != std::wstring::npos;
}

// Started in the tray, restored from the icon during the balloon wait and asked for a
// backup there: that run comes before start-up has fixed the log's path, so it cannot log.
// The runs after it must.
TEST_F(ProgramTest, ARunBeforeStartUpHasEndedLeavesLaterRunsTheirLogLine) {
    ComApartment com;
    backup::testing::EndStrayStandins();
    ::DeleteFileW(TempLogPath().c_str());
    backup::testing::ScratchFolder folder("stenvault-window-backup");
    StoreSetting(L"Path", Widen(folder.path()));
    StoreSetting(L"Minimized", L"On");
    // No ticks: the only runs are the two asked for here.
    StoreSetting(L"StartStopState", L"Off");

    backup::testing::UserInstance user;
    ASSERT_TRUE(user.ready());
    backup::win32::DispatchLink link;
    backup::Object app = link.AttachToVisio();
    ASSERT_NE(app, nullptr);
    app->GetObj("Documents")->Call("Add", {std::string()});

    Program program;
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = program.MainWindow()) != nullptr; }, 20s));
    // Shown, then hidden behind the icon: the balloon wait has begun.
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(window) && program.TrayWindow(); }, 20s));
    ::PostMessageW(program.TrayWindow(), kTrayCallback, 0, WM_LBUTTONUP);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(window) != FALSE; }, 3s));
    ::PostMessageW(program.Control(Control::PushButton2), BM_CLICK, 0, 0);

    // That run saved its copy but found no log to write to.
    const wchar_t* appendLine = L"SaveVisio.SaveAll at line 164";
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const auto& report : program.Dialogs()) {
                if (MentionsLine(report, appendLine)) {
                    return true;
                }
            }
            return false;
        },
        60s));
    // The run's temporary instance goes; start-up then ends with the installation check,
    // which starts the application once more and quits it.
    auto instances = [&] { return ChildProcesses(program.Id(), kStandInExe).size(); };
    ASSERT_TRUE(WaitFor([&] { return instances() == 0; }, 60s));
    ASSERT_TRUE(WaitFor([&] { return instances() > 0; }, 60s));
    ASSERT_TRUE(WaitFor([&] { return instances() == 0; }, 60s));
    std::size_t reports = program.Dialogs().size();

    ::PostMessageW(program.Control(Control::PushButton2), BM_CLICK, 0, 0);
    std::string log;
    EXPECT_TRUE(WaitFor([&] { return !(log = FileText(TempLogPath())).empty(); }, 60s));
    EXPECT_NE(log.find(" was backup saved as " + folder.path() + "\\"), std::string::npos) << log;
    EXPECT_EQ(log.find("\r\n"), log.size() - 2) << log;
    for (std::size_t i = reports; i < program.Dialogs().size(); ++i) {
        ADD_FAILURE() << Narrow(program.Dialogs()[i].text);
    }

    ASSERT_TRUE(program.Close());
    ::DeleteFileW(TempLogPath().c_str());
}

}  // namespace
}  // namespace sv::win32
