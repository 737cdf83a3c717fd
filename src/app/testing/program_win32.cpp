#include "app/testing/program_win32.h"

#include <commctrl.h>

#include "app/main_window_win32.h"
#include "common/system_win32.h"
#include "common/text_win32.h"

namespace sv::win32::testing {

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    // SendMessageTimeout: a window busy in a modal wait still answers, a hung one does not.
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                          2000, &copied);
    return std::wstring(text, copied);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    int length = ::GetClassNameW(window, name, 128);
    return std::wstring(name, length > 0 ? length : 0);
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    return process;
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"stenvault.exe";
}

std::map<std::wstring, std::wstring> StoredSettings() {
    std::map<std::wstring, std::wstring> values;
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return values;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[2048];
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        data[dataSize] = 0;
        data[dataSize + 1] = 0;
        values[std::wstring(name, nameLength)] = reinterpret_cast<const wchar_t*>(data);
    }
    return values;
}

void StoreSetting(const wchar_t* name, const std::wstring& value) {
    UniqueKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::wstring> RunValue(HKEY root) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueW(root, kRunKey, kRunValueName, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(data);
}

void DeleteRunValues() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        UniqueKey key;
        if (::RegOpenKeyExW(root, kRunKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
            ::RegDeleteValueW(key.get(), kRunValueName);
        }
    }
}

bool TrayShowsAnIcon() {
    HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
    return tray && ::IsWindowVisible(tray);
}

std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* exeName) {
    std::vector<DWORD> children;
    for (const RunningProcess& process : RunningProcesses()) {
        if (process.parent == parent && ::lstrcmpiW(process.exeFile.c_str(), exeName) == 0) {
            children.push_back(process.id);
        }
    }
    return children;
}
DialogAnswerer::DialogAnswerer(DWORD process) : process_(process), thread_([this] { Watch(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<DialogAnswerer::Seen> DialogAnswerer::Dialogs() {
    std::lock_guard lock(mutex_);
    return seen_;
}

void DialogAnswerer::Watch() {
    while (!stop_) {
        HWND box = nullptr;
        while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
            if (ProcessOf(box) != process_ || !::IsWindowVisible(box) || Answered(box)) {
                continue;
            }
            std::wstring text;
            bool folderPrompt = false;
            for (HWND child = ::GetWindow(box, GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) == L"Static" && !TextOf(child).empty()) {
                    text = TextOf(child);
                }
                folderPrompt = folderPrompt || ClassOf(child) == L"SysTreeView32";
            }
            {
                std::lock_guard lock(mutex_);
                seen_.push_back({TextOf(box), text});
                answered_.push_back(box);
            }
            // A folder prompt is left to the test.
            if (folderPrompt || leaveOpen_) {
                continue;
            }
            // Yes where there is a question, OK otherwise.
            HWND button = ::GetDlgItem(box, IDYES);
            if (!button) {
                button = ::GetDlgItem(box, IDOK);
            }
            if (!button) {
                button = ::GetDlgItem(box, IDCANCEL);
            }
            ::PostMessageW(button, BM_CLICK, 0, 0);
        }
        std::this_thread::sleep_for(30ms);
    }
}

bool DialogAnswerer::Answered(HWND box) {
    std::lock_guard lock(mutex_);
    for (HWND seen : answered_) {
        if (seen == box) {
            return true;
        }
    }
    return false;
}

Program::Program(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\"";
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(path) << ": " << ::GetLastError();
        return;
    }
    process_.reset(info.hProcess);
    ::CloseHandle(info.hThread);
    id_ = info.dwProcessId;
    answerer_.emplace(id_);
}

Program::Program() : Program(ProgramPath()) {}

Program::~Program() {
    if (!process_) {
        return;
    }
    if (!Exited(0ms)) {
        if (HWND window = MainWindow()) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        }
        if (!Exited(10s)) {
            ::TerminateProcess(process_.get(), 99);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }
    // A drawing application it started and could not quit would outlive the test.
    for (DWORD child : ChildProcesses(id_, kStandInExe)) {
        UniqueHandle server(::OpenProcess(PROCESS_TERMINATE, FALSE, child));
        if (server) {
            ::TerminateProcess(server.get(), 99);
        }
    }
    answerer_.reset();
}

HWND Program::WaitForWindow(std::chrono::milliseconds timeout) {
    bool started = false;
    WaitFor(
        [&] {
            bool running = !ChildProcesses(id_, kStandInExe).empty();
            started = started || running;
            return (started && !running) || Exited(0ms);
        },
        timeout);
    HWND found = nullptr;
    WaitFor([&] { return (found = MainWindow()) != nullptr; }, 2s);
    return found;
}

HWND Program::MainWindow() const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, kMainWindowClass, L"Stenvault"))) {
        if (ProcessOf(window) == id_) {
            return window;
        }
    }
    return nullptr;
}

HWND Program::Control(sv::Control control) const {
    return ::GetDlgItem(MainWindow(), ControlId(control));
}

HWND Program::FolderPrompt() const {
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr))) {
        if (ProcessOf(box) == id_ && ::IsWindowVisible(box) &&
            ::FindWindowExW(box, nullptr, L"SysTreeView32", nullptr)) {
            return box;
        }
    }
    return nullptr;
}

HWND Program::TrayWindow() const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, kTrayWindowClass, nullptr))) {
        if (ProcessOf(window) == id_) {
            return window;
        }
    }
    return nullptr;
}

bool Program::Exited(std::chrono::milliseconds timeout) {
    return ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) ==
           WAIT_OBJECT_0;
}

DWORD Program::ExitCode() {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

bool Program::Close() {
    if (HWND window = MainWindow()) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return Exited(15s);
}

bool Checked(HWND button) {
    return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int SelectedRow(HWND list) {
    return static_cast<int>(
        ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ClickRow(const Program& program, HWND list, int row, bool pastTheColumn) {
    void* remote = ::VirtualAllocEx(program.Process(), nullptr, sizeof(RECT),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    RECT bounds{LVIR_LABEL, 0, 0, 0};
    ::WriteProcessMemory(program.Process(), remote, &bounds, sizeof bounds, nullptr);
    ::SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(remote));
    ::ReadProcessMemory(program.Process(), remote, &bounds, sizeof bounds, nullptr);
    ::VirtualFreeEx(program.Process(), remote, 0, MEM_RELEASE);
    ASSERT_GT(bounds.bottom, bounds.top);
    RECT client;
    ::GetClientRect(list, &client);
    int x = pastTheColumn ? client.right - 4 : (bounds.left + bounds.right) / 2;
    LPARAM at = MAKELPARAM(x, (bounds.top + bounds.bottom) / 2);
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void ProgramTest::SetUp() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    DeleteRunValues();
}

void ProgramTest::TearDown() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    DeleteRunValues();
}

}  // namespace sv::win32::testing
