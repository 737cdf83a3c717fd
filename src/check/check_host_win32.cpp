#include "check/check_host_win32.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "common/failure.h"
#include "common/handles_win32.h"
#include "common/system_win32.h"
#include "common/message_wait_win32.h"
#include "common/text_win32.h"

namespace sv::check::win32 {
namespace {

using sv::win32::Narrow;
using sv::win32::UniqueFile;
using sv::win32::UniqueHandle;
using sv::win32::Widen;

class Win32ProcessView : public ProcessView {
  public:
    Win32ProcessView(std::uint32_t id, UniqueHandle process)
        : id_(id), process_(std::move(process)), watch_([this] { Watch(); }) {}
    Win32ProcessView(const Win32ProcessView&) = delete;
    Win32ProcessView& operator=(const Win32ProcessView&) = delete;
    ~Win32ProcessView() override {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        watch_.join();
    }

    std::vector<std::string> VisibleWindows() override {
        struct Search {
            DWORD id;
            std::vector<std::string> titles;
        } search{id_, {}};
        ::EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner == s.id && ::IsWindowVisible(window)) {
                    std::string title = Narrow(sv::win32::WindowTextOf(window));
                    s.titles.push_back(title.empty() ? "(untitled window)" : title);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.titles;
    }

    bool WaitForExit(std::chrono::milliseconds wait) override {
        return sv::win32::WaitHandlingMessages(process_.get(), wait);
    }

    void Arm(std::chrono::milliseconds patience) override {
        {
            std::lock_guard lock(mutex_);
            deadline_ = std::chrono::steady_clock::now() + patience;
        }
        changed_.notify_all();
    }
    void Disarm() override {
        std::lock_guard lock(mutex_);
        deadline_.reset();
    }
    std::optional<std::vector<std::string>> EndedShowing() override {
        std::lock_guard lock(mutex_);
        return endedShowing_;
    }

  private:
    // The watch's own thread: the checks' thread is inside the call that hangs.
    void Watch() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (!deadline_) {
                changed_.wait(lock);
                continue;
            }
            auto deadline = *deadline_;
            if (changed_.wait_until(lock, deadline) != std::cv_status::timeout ||
                deadline_ != deadline) {
                continue;
            }
            deadline_.reset();
            if (::WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT) {
                continue;
            }
            std::vector<std::string> windows = VisibleWindows();
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), 5000);
            endedShowing_ = std::move(windows);
        }
    }

    DWORD id_;
    UniqueHandle process_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::optional<std::vector<std::string>> endedShowing_;
    bool stop_ = false;
    std::thread watch_;  // last: it starts on construction and uses everything above
};

}  // namespace

Win32CheckHost::~Win32CheckHost() {
    if (!scratch_.empty()) {
        sv::win32::RemoveTree(scratch_);
    }
}

std::set<std::uint32_t> Win32CheckHost::ProcessIds() {
    std::set<std::uint32_t> ids;
    for (const sv::win32::RunningProcess& process : sv::win32::RunningProcesses()) {
        ids.insert(process.id);
    }
    return ids;
}

std::unique_ptr<ProcessView> Win32CheckHost::OpenProcess(std::uint32_t id) {
    UniqueHandle process(::OpenProcess(
        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id));
    if (!process) {
        return nullptr;
    }
    return std::make_unique<Win32ProcessView>(id, std::move(process));
}

std::string Win32CheckHost::ScratchFolder() {
    if (scratch_.empty()) {
        wchar_t temp[MAX_PATH + 1];
        DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        std::wstring base = std::wstring(temp, n);
        if (!base.empty() && base.back() == L'\\') {
            base.pop_back();
        }
        // A name of its own: never a folder someone else made.
        for (unsigned i = 0;; ++i) {
            std::wstring folder = base + L"\\Stenvault check " +
                                  std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(i);
            if (::CreateDirectoryW(folder.c_str(), nullptr)) {
                scratch_ = folder;
                break;
            }
            if (::GetLastError() != ERROR_ALREADY_EXISTS) {
                throw Failure("Cannot create a folder in " + Narrow(base));
            }
        }
    }
    return Narrow(scratch_);
}

std::optional<std::string> Win32CheckHost::ReadFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD written = 0;
    return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) &&
           written == text.size();
}

}  // namespace sv::check::win32
