#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/handles_win32.h"
#include "platform/startup_entry.h"

namespace sv::win32 {

// The registry through RegOpenKeyExA / RegSetValueExA / RegDeleteValueA / RegCloseKey, with
// names and data in the ANSI code page.
// Keys it hands out stay owned here until Close (or its own end).
class Win32Registry : public Registry {
  public:
    Win32Registry() = default;
    ~Win32Registry() override;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    std::optional<Key> Open(RegistryRoot root, const std::string& subKey,
                            std::uint32_t access) override;
    bool SetString(Key key, const std::string& name, const std::string& value) override;
    bool DeleteValue(Key key, const std::string& name) override;
    void Close(Key key) override;

  private:
    std::vector<UniqueKey> open_;
};

// The full path of the running program's executable (UTF-8); empty if Windows cannot tell.
std::string RunningExecutablePath();

}  // namespace sv::win32
