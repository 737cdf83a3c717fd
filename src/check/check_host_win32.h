#pragma once

#include <windows.h>

#include <string>

#include "backup/clipboard_win32.h"
#include "check/checks.h"

namespace sv::check::win32 {

// The system as the checks see it: processes and their windows, a scratch folder under the
// temporary folder (removed with its files on destruction) and the clipboard, kept as the
// program keeps it.
class Win32CheckHost : public CheckHost {
  public:
    Win32CheckHost() = default;
    Win32CheckHost(const Win32CheckHost&) = delete;
    Win32CheckHost& operator=(const Win32CheckHost&) = delete;
    ~Win32CheckHost() override;

    std::set<std::uint32_t> ProcessIds() override;
    std::unique_ptr<ProcessView> OpenProcess(std::uint32_t id) override;
    std::string ScratchFolder() override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    backup::ClipboardKeeper& Clipboard() override { return clipboard_; }
    void Pause(std::chrono::milliseconds wait) override {
        ::Sleep(static_cast<DWORD>(wait.count()));
    }

  private:
    std::wstring scratch_;
    backup::win32::Win32ClipboardKeeper clipboard_;
};

// Writes UTF-8 text to a file, replacing it; false when it cannot.
bool WriteTextFile(const std::wstring& path, const std::string& text);

}  // namespace sv::check::win32
