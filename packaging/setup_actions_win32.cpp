// stenvault-setup.exe: the installer's helper. It closes a running copy of the installed
// program before its file is replaced or removed, and removes the Run values that would start
// a program that is gone. Its exit code is what Windows Installer reads.
#include <windows.h>
#include <msi.h>
#include <tlhelp32.h>

#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/main_window_win32.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"
#include "platform/startup_entry.h"
#include "setup_actions.h"

namespace sv::win32 {
namespace {

constexpr wchar_t kSetupTitle[] = L"Stenvault Setup";
// A copy busy with a backup run finishes it first; longer than that counts as not closing.
constexpr DWORD kCloseWaitMs = 60000;

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct RunningCopy {
    DWORD id = 0;
    UniqueHandle process;
};

// Processes started from exactly this executable, whoever else shares its file name.
std::vector<RunningCopy> RunningCopies(const std::wstring& program) {
    std::vector<RunningCopy> copies;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return copies;
    }
    const std::wstring fileName = FileNameOf(program);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (!SamePath(FileNameOf(entry.szExeFile), fileName)) {
            continue;
        }
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                           entry.th32ProcessID));
        if (!process) {
            continue;
        }
        std::wstring image(MAX_PATH * 4, L'\0');
        DWORD size = static_cast<DWORD>(image.size());
        if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) {
            continue;
        }
        image.resize(size);
        if (SamePath(image, program)) {
            copies.push_back({entry.th32ProcessID, std::move(process)});
        }
    }
    return copies;
}

// param: the process id. Its main window may be hidden in the notification area.
BOOL CALLBACK PostCloseToMainWindow(HWND window, LPARAM param) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (owner == static_cast<DWORD>(param) && std::wstring_view(className) == kMainWindowClass) {
        // As the window's close box would: the program stores nothing at shutdown.
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

int Close(const SetupCommand& command) {
    const std::wstring program = Widen(command.program);
    std::vector<RunningCopy> copies = RunningCopies(program);
    if (copies.empty()) {
        return 0;
    }
    if (!command.quiet &&
        ::MessageBoxW(nullptr,
                      L"Stenvault is running. Setup will close it and then go on.\n\n"
                      L"Your settings, backups and history log are kept.",
                      kSetupTitle, MB_OKCANCEL | MB_ICONINFORMATION | MB_TOPMOST) != IDOK) {
        return kSetupUserExit;
    }
    std::vector<HANDLE> waits;
    for (RunningCopy& copy : copies) {
        ::EnumWindows(PostCloseToMainWindow, static_cast<LPARAM>(copy.id));
        waits.push_back(copy.process.get());
    }
    // Never ended by force: a copy in the middle of a backup run finishes it.
    DWORD waited = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), TRUE,
                                            kCloseWaitMs);
    if (waited < WAIT_OBJECT_0 + waits.size()) {
        return 0;
    }
    if (!command.quiet) {
        ::MessageBoxW(nullptr,
                      L"Stenvault did not close. Close it from its window, then run Setup again.",
                      kSetupTitle, MB_OK | MB_ICONWARNING | MB_TOPMOST);
    }
    return kSetupFailed;
}

// Deletes the Run value under one root when it starts this program; a key that cannot be
// opened for writing (the machine-wide one, without administrator rights) is left alone.
void ForgetIn(HKEY root, const std::wstring& subKey, const std::wstring& name,
              const std::string& program) {
    UniqueKey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                        key.put()) != ERROR_SUCCESS) {
        return;
    }
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return;
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS) {
        return;
    }
    data.resize(wcsnlen(data.c_str(), data.size()));
    // Another copy of the program, started from elsewhere, keeps its entry.
    if (RunDataStarts(Narrow(data), program)) {
        ::RegDeleteValueW(key.get(), name.c_str());
    }
}

std::vector<std::string> RelatedProducts(const std::string& upgradeCode) {
    std::vector<std::string> products;
    const std::wstring code = Widen(upgradeCode);
    wchar_t product[39];
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(code.c_str(), 0, i, product) == ERROR_SUCCESS;
         ++i) {
        products.push_back(Narrow(product));
    }
    return products;
}

int ForgetStartup(const SetupCommand& command) {
    // Windows Installer marks the removal of an older version by an upgrade; Wine does not,
    // so ask which versions are installed.
    if (AnotherVersionStays(RelatedProducts(command.upgradeCode), command.removedProduct)) {
        return 0;
    }
    std::wstring subKey = Widen(kRunSubKey);
    while (!subKey.empty() && subKey.back() == L'\\') {
        subKey.pop_back();
    }
    // The program names its value after its executable's file name.
    const std::wstring name = Widen(SplitPath(command.program).fileName);
    ForgetIn(HKEY_CURRENT_USER, subKey, name, command.program);
    ForgetIn(HKEY_LOCAL_MACHINE, subKey, name, command.program);
    return 0;
}

}  // namespace
}  // namespace sv::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; argv && i < count; ++i) {
        args.push_back(sv::win32::Narrow(argv[i]));
    }
    ::LocalFree(argv);
    std::optional<sv::SetupCommand> command = sv::ParseSetupCommand(args);
    if (!command) {
        return ERROR_INVALID_PARAMETER;
    }
    return command->action == sv::SetupCommand::Action::Close ? sv::win32::Close(*command)
                                                              : sv::win32::ForgetStartup(*command);
}
