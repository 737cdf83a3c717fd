#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/startup_entry.h"

namespace sv::win32 {

// The registry through RegOpenKeyExA / RegSetValueExA / RegDeleteValueA / RegCloseKey, with
// names and data in the ANSI code page.
class Win32Registry : public Registry {
  public:
    std::optional<Key> Open(RegistryRoot root, const std::string& subKey,
                            std::uint32_t access) override;
    bool SetString(Key key, const std::string& name, const std::string& value) override;
    bool DeleteValue(Key key, const std::string& name) override;
    void Close(Key key) override;
};

// The full path of the running program's executable (UTF-8); empty if Windows cannot tell.
std::string RunningExecutablePath();

}  // namespace sv::win32
