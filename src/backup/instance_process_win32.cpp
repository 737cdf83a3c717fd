#include "backup/instance_process_win32.h"

#include <algorithm>
#include <chrono>
#include <cwchar>

#include <objbase.h>

#include "common/message_wait_win32.h"
#include "common/system_win32.h"
#include "common/text_win32.h"

namespace sv::backup::win32 {
namespace {

using sv::win32::Narrow;
using sv::win32::UniqueHandle;
using sv::win32::Widen;

// The instance's process, held from its start: ended only through this handle.
class HeldProcess : public InstanceProcess {
  public:
    HeldProcess(UniqueHandle process, const InstanceJob* job)
        : process_(std::move(process)), tied_(job && job->Take(process_.get())) {}
    void End(std::chrono::milliseconds grace) override {
        // Waits on the window's thread: its messages keep being handled meanwhile.
        if (!sv::win32::WaitHandlingMessages(process_.get(), grace) &&
            ::TerminateProcess(process_.get(), 1)) {
            sv::win32::WaitHandlingMessages(process_.get(), std::chrono::seconds(2));
        }
    }
    std::uint32_t Id() const override { return ::GetProcessId(process_.get()); }
    bool EndsWithProgram() const override { return tied_; }

  private:
    UniqueHandle process_;
    bool tied_;
};

bool IsAbsolute(const std::wstring& path) {
    return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
           path.rfind(L"\\\\", 0) == 0;
}

std::wstring LongPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = ::GetLongPathNameW(path.c_str(), buffer, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(buffer, n) : path;
}

// The executable COM starts for the class, as a full path in long form; empty when the
// registration names none that exists.
std::wstring ServerExecutable(const CLSID& clsid) {
    wchar_t clsidText[64] = {};
    ::StringFromGUID2(clsid, clsidText, 64);
    const std::wstring subKey = L"CLSID\\" + std::wstring(clsidText) + L"\\LocalServer32";
    // A 32-bit server on 64-bit Windows is registered in the 32-bit view alone.
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}}) {
        sv::win32::UniqueKey key;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE | view,
                            key.put()) != ERROR_SUCCESS) {
            continue;
        }
        std::wstring line(2048, L'\0');
        DWORD size = static_cast<DWORD>((line.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type,
                               reinterpret_cast<BYTE*>(line.data()), &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            continue;
        }
        line.resize(::wcsnlen(line.c_str(), size / sizeof(wchar_t)));
        if (type == REG_EXPAND_SZ) {
            std::wstring expanded(4096, L'\0');
            DWORD n = ::ExpandEnvironmentStringsW(line.c_str(), expanded.data(),
                                                  static_cast<DWORD>(expanded.size()));
            if (n == 0 || n > expanded.size()) {
                continue;
            }
            line.assign(expanded.c_str());
        }
        for (const std::string& candidate : ServerExecutableCandidates(Narrow(line))) {
            const std::wstring path = Widen(candidate);
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (IsAbsolute(path) && attributes != INVALID_FILE_ATTRIBUTES &&
                !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                return LongPath(path);
            }
        }
    }
    return {};
}

bool SameImage(HANDLE process, const std::wstring& executable) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD size = MAX_PATH * 4;
    if (!::QueryFullProcessImageNameW(process, 0, buffer, &size)) {
        return false;
    }
    auto same = [&](const std::wstring& image) {
        return ::CompareStringOrdinal(image.c_str(), static_cast<int>(image.size()),
                                      executable.c_str(), static_cast<int>(executable.size()),
                                      TRUE) == CSTR_EQUAL;
    };
    const std::wstring image(buffer, size);
    return same(image) || same(LongPath(image));
}

// Running processes of that executable, each held open with `rights`: while it is held, its
// number cannot pass to a process started later. With `orUnreadable`, a process of that name we
// may not open is listed too, without a handle.
std::vector<std::pair<DWORD, UniqueHandle>> ProcessesOf(const std::wstring& executable,
                                                        DWORD rights, bool orUnreadable) {
    std::vector<std::pair<DWORD, UniqueHandle>> found;
    const std::wstring name = executable.substr(executable.find_last_of(L"\\/") + 1);
    for (const sv::win32::RunningProcess& running : sv::win32::RunningProcesses()) {
        const std::size_t last = running.exeFile.find_last_of(L'\\');
        const std::wstring file =
            last == std::wstring::npos ? running.exeFile : running.exeFile.substr(last + 1);
        if (_wcsicmp(file.c_str(), name.c_str()) != 0) {
            continue;
        }
        UniqueHandle process(
            ::OpenProcess(rights | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, running.id));
        if (process && SameImage(process.get(), executable)) {
            found.emplace_back(running.id, std::move(process));
        } else if (!process && orUnreadable) {
            found.emplace_back(running.id, UniqueHandle());
        }
    }
    return found;
}

std::uint32_t WindowProcess(std::int32_t window) {
    // A 32-bit window handle stands for the sign-extended 64-bit one.
    HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
    DWORD process = 0;
    if (::IsWindow(hwnd)) {
        ::GetWindowThreadProcessId(hwnd, &process);
    }
    return process;
}

}  // namespace

StartWatch::StartWatch(const CLSID& clsid) : server_(ServerExecutable(clsid)) {
    if (!server_.empty()) {
        before_ = ProcessesOf(server_, 0, true);
    }
}

void StartWatch::Started() {
    if (!server_.empty()) {
        for (auto& [id, process] : ProcessesOf(server_, SYNCHRONIZE | PROCESS_TERMINATE, false)) {
            if (std::none_of(before_.begin(), before_.end(),
                             [id = id](const auto& old) { return old.first == id; })) {
                appeared_.emplace_back(id, std::move(process));
            }
        }
    }
    before_.clear();
}

std::unique_ptr<InstanceProcess> StartWatch::Identify(const std::optional<Arg>& window,
                                                      const InstanceJob* job) {
    std::vector<std::uint32_t> ids;
    for (const auto& entry : appeared_) {
        ids.push_back(entry.first);
    }
    if (std::optional<std::uint32_t> chosen = StartedProcess(ids, window, WindowProcess)) {
        for (auto& [id, process] : appeared_) {
            if (id == *chosen) {
                return std::make_unique<HeldProcess>(std::move(process), job);
            }
        }
    }
    return nullptr;
}

}  // namespace sv::backup::win32
