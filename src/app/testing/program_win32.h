#pragma once

// The real program under Wine, driven from outside: starts stenvault.exe, answers its message
// boxes, reads what it stored. For test programs that need the whole program running.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/form_view.h"
#include "common/handles_win32.h"

namespace sv::win32::testing {

using namespace std::chrono_literals;

inline constexpr wchar_t kSettingsKey[] =
    L"Software\\VB and VBA Program Settings\\Veltrane\\Stenvault";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"stenvault.exe";
inline constexpr wchar_t kTrayWindowClass[] = L"StenvaultTrayWindow";
inline constexpr UINT kTrayCallback = 0x465;
inline constexpr wchar_t kStandInExe[] = L"visio-standin.exe";

// Polls every 20 ms until the condition holds or the time is up.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
DWORD ProcessOf(HWND window);
// stenvault.exe beside the running test program.
std::wstring ProgramPath();

std::map<std::wstring, std::wstring> StoredSettings();
void StoreSetting(const wchar_t* name, const std::wstring& value);
std::optional<std::wstring> RunValue(HKEY root);
void DeleteRunValues();

// Wine's notification area outside a desktop shell: a window shown while it holds an icon.
bool TrayShowsAnIcon();

// Processes that a process started from the named executable, still running or not yet gone
// from the system's list.
std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* exeName);

bool Checked(HWND button);
int SelectedRow(HWND list);

// Answers the program's message boxes from a thread of its own and remembers them; a folder
// prompt is remembered and left open.
class DialogAnswerer {
  public:
    struct Seen {
        std::wstring title;
        std::wstring text;
    };

    explicit DialogAnswerer(DWORD process);
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;
    ~DialogAnswerer();

    std::vector<Seen> Dialogs();
    // From now on boxes are only remembered, not answered.
    void LeaveOpen() { leaveOpen_ = true; }

  private:
    void Watch();
    bool Answered(HWND box);

    DWORD process_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> leaveOpen_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

// One run of stenvault.exe, ended (politely, then by force) when the object goes.
class Program {
  public:
    Program();
    // The program installed elsewhere, started in its own folder.
    explicit Program(const std::wstring& path);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program();

    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.get(); }

    // The main window once start-up has ended, which it does by starting the drawing
    // application and quitting it again; null if no window came.
    HWND WaitForWindow(std::chrono::milliseconds timeout = 20s);
    HWND MainWindow() const;
    HWND Control(sv::Control control) const;
    HWND TrayWindow() const;
    // The folder browser the program shows, once it is up.
    HWND FolderPrompt() const;

    bool Exited(std::chrono::milliseconds timeout);
    DWORD ExitCode();
    // Closes the window as its close box would and waits for the program to end.
    bool Close();

    std::vector<DialogAnswerer::Seen> Dialogs() { return answerer_->Dialogs(); }
    void LeaveDialogsOpen() { answerer_->LeaveOpen(); }

  private:
    UniqueHandle process_;
    DWORD id_ = 0;
    std::optional<DialogAnswerer> answerer_;
};

// Clicks a row of the program's list with the mouse: the row's place comes from the list
// itself, through a buffer in the program's memory. Past the column is blank space.
void ClickRow(const Program& program, HWND list, int row, bool pastTheColumn = false);

// Every test starts and ends with no stored settings and no start-up value.
class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace sv::win32::testing
