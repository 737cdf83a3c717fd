#include "backup/testing/standin_win32.h"

#include "common/system_win32.h"
#include "common/text_win32.h"

#ifndef SV_STANDIN_EXE
#error "SV_STANDIN_EXE must name the stand-in executable"
#endif

namespace sv::backup::testing {
namespace {

constexpr wchar_t kFaultsKey[] = L"Software\\Veltrane\\Visio Stand-in\\Faults\\";

}  // namespace

std::wstring StandinPath() {
    std::wstring path = sv::win32::Widen(SV_STANDIN_EXE);
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        path = L"Z:" + path;
    }
    return path;
}

namespace {

// Stand-in processes, with the process that started each.
std::vector<sv::win32::RunningProcess> StandinEntries() {
    std::vector<sv::win32::RunningProcess> found;
    for (sv::win32::RunningProcess& process : sv::win32::RunningProcesses()) {
        if (_wcsicmp(process.exeFile.c_str(), L"visio-standin.exe") == 0) {
            found.push_back(std::move(process));
        }
    }
    return found;
}

}  // namespace

int StandinProcessCount() {
    return static_cast<int>(StandinEntries().size());
}

std::vector<DWORD> OurStandins() {
    std::vector<DWORD> ours;
    for (const sv::win32::RunningProcess& process : StandinEntries()) {
        if (process.parent == ::GetCurrentProcessId()) {
            ours.push_back(process.id);
        }
    }
    return ours;
}

void EndStrayStandins() {
    for (DWORD id : OurStandins()) {
        sv::win32::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process && ::TerminateProcess(process.get(), 1)) {
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
}

int WaitForStandinCount(int n, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    int count = StandinProcessCount();
    while (count != n && ::GetTickCount() - start < timeoutMs) {
        backup::win32::DispatchLink::WaitHandlingMessages(std::chrono::milliseconds(50));
        count = StandinProcessCount();
    }
    return count;
}

PlantedFaults::PlantedFaults(const std::wstring& mode) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kFaultsKey) + mode).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, key_.put(), nullptr);
}

PlantedFaults::~PlantedFaults() {
    for (const std::wstring& name : names_) {
        ::RegDeleteValueW(key_.get(), name.c_str());
    }
}

void PlantedFaults::Set(const std::string& member, const std::string& data) {
    std::wstring name = sv::win32::Widen(member);
    std::wstring value = sv::win32::Widen(data);
    ::RegSetValueExW(key_.get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    names_.push_back(name);
}

StartedWindowWatch::StartedWindowWatch(DWORD userProcess)
    : user_(userProcess), thread_([this] { Watch(); }) {}

void StartedWindowWatch::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool StartedWindowWatch::IsStartedStandin(DWORD process) {
    auto known = standins_.find(process);
    if (known != standins_.end()) {
        return known->second;
    }
    bool standin = false;
    sv::win32::UniqueHandle handle(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (handle && ::QueryFullProcessImageNameW(handle.get(), 0, image, &size)) {
        const std::wstring path(image, size);
        const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        standin = process != user_ && _wcsicmp(name.c_str(), L"visio-standin.exe") == 0;
    }
    return standins_[process] = standin;
}

void StartedWindowWatch::Watch() {
    while (!stop_) {
        ::EnumWindows(
            [](HWND window, LPARAM self) -> BOOL {
                auto* watch = reinterpret_cast<StartedWindowWatch*>(self);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (::IsWindowVisible(window) && watch->IsStartedStandin(owner)) {
                    ++watch->seen_;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(this));
        ++polls_;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

namespace {

void WriteDefault(HKEY key, const std::wstring& value) {
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

BrokenClass::BrokenClass(const wchar_t* progId) {
    CLSID clsid{};
    wchar_t text[64] = {};
    if (FAILED(::CLSIDFromProgID(progId, &clsid)) || !::StringFromGUID2(clsid, text, 64) ||
        ::RegOpenKeyExW(
            HKEY_LOCAL_MACHINE,
            (std::wstring(L"Software\\Classes\\CLSID\\") + text + L"\\LocalServer32").c_str(), 0,
            KEY_QUERY_VALUE | KEY_SET_VALUE, key_.put()) != ERROR_SUCCESS) {
        return;
    }
    wchar_t command[2048] = {};
    DWORD size = sizeof command - sizeof(wchar_t);
    if (::RegQueryValueExW(key_.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(command),
                           &size) == ERROR_SUCCESS) {
        command_ = command;
        WriteDefault(key_.get(), L"\"C:\\windows\\no such folder\\no such server.exe\"");
    }
}

BrokenClass::~BrokenClass() {
    if (key_ && !command_.empty()) {
        WriteDefault(key_.get(), command_);
    }
}

UserInstance::UserInstance() {
    std::wstring commandLine = L"\"" + StandinPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(L"Visio.Application", &clsid))) {
        return;
    }
    for (int i = 0; i < 200 && !ready_; ++i) {
        sv::win32::ComPtr<IUnknown> unknown;
        if (SUCCEEDED(::GetActiveObject(clsid, nullptr, unknown.put())) && unknown) {
            ready_ = true;
        } else {
            ::Sleep(50);
        }
    }
}

UserInstance::~UserInstance() {
    if (!process_) {
        return;
    }
    // A clean quit takes its registration out of the running object table with it. A copy that
    // stays busy is not waited for long.
    if (ready_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        backup::win32::DispatchLink link(L"Visio.Application", std::chrono::seconds(1));
        if (Object app = link.AttachToVisio()) {
            QuitQuietly(*app);
        }
    }
    if (::WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
        Kill();
    }
}

void UserInstance::Kill() {
    if (process_ && ::TerminateProcess(process_.get(), 1)) {
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

BystanderProcess::BystanderProcess() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    sv::win32::UniqueHandle read;
    if (!::CreatePipe(read.put(), input_.put(), &inherit, 0)) {
        return;
    }
    ::SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(system) + L"\\cmd.exe\" /q /k";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read.get();
    sv::win32::UniqueFile nothing(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit,
                                                OPEN_EXISTING, 0, nullptr));
    startup.hStdOutput = nothing.get();
    startup.hStdError = nothing.get();
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info)) {
        return;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
}

BystanderProcess::~BystanderProcess() {
    input_.reset();
    if (process_ && ::WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process_.get(), 1);
    }
}

bool BystanderProcess::alive() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

ScratchFolder::ScratchFolder(const std::string& leaf) {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = std::wstring(temp, n) + sv::win32::Widen(leaf);
    sv::win32::RemoveTree(folder);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    path_ = sv::win32::Narrow(folder);
}

ScratchFolder::~ScratchFolder() {
    sv::win32::RemoveTree(sv::win32::Widen(path_));
}

bool FileExistsUtf8(const std::string& path) {
    return ::GetFileAttributesW(sv::win32::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool QuitQuietly(AutomationObject& app) {
    try {
        app.Put("AlertResponse", std::int32_t{7});
        app.Call("Quit");
    } catch (...) {
        return app.Lost();
    }
    return true;
}

void AddDrawingWithShape(AutomationObject& app, const std::string& text) {
    app.GetObj("Documents")->Call("Add", {std::string()});
    app.GetObj("ActiveWindow")
        ->GetObj("Page")
        ->Call("DrawRectangle", {1.0, 1.0, 2.0, 2.0})
        .TakeObject()
        ->Put("Text", text);
}

}  // namespace sv::backup::testing
