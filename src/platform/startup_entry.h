#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv {

class SettingsStore;

enum class RegistryRoot { LocalMachine, CurrentUser };

// The Run key, under either root, and what is asked for when opening it.
inline constexpr char kRunSubKey[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\";
inline constexpr std::uint32_t kRunKeyAccess = 0x3F;
inline constexpr std::uint32_t kRegSz = 1;

// The few registry operations the start-up entry needs. Names and values are UTF-8; the
// Windows side hands them over in the ANSI code page.
class Registry {
  public:
    using Key = std::uintptr_t;
    virtual ~Registry() = default;
    virtual std::optional<Key> Open(RegistryRoot root, const std::string& subKey,
                                    std::uint32_t access) = 0;
    // A REG_SZ value; true when it was written.
    virtual bool SetString(Key key, const std::string& name, const std::string& value) = 0;
    virtual bool DeleteValue(Key key, const std::string& name) = 0;
    virtual void Close(Key key) = 0;
};

// Folder and file name of a full path: "C:\\A\\b.exe" -> "C:\\A", "b.exe".
struct PathParts {
    std::string folder;
    std::string fileName;
};
PathParts SplitPath(std::string_view fullPath);

// Writes (or removes) the value that starts the running program with Windows, named after its
// executable's file name. executablePath is the running program's full path; empty does nothing.
void AddStartupEntry(Registry& registry, std::string_view executablePath);
void RemoveStartupEntry(Registry& registry, std::string_view executablePath);

// The machine-wide Run value, or the per-user one when the machine-wide key refuses it. The
// data is the quoted full path, so a folder with spaces still starts the program.
void SetRunValue(Registry& registry, std::string_view programFolder, std::string_view fileName);
// Removes the value from both Run keys.
void DeleteRunValue(Registry& registry, std::string_view fileName);

// Open, write or delete, close. True when the key opened and the write or delete succeeded.
bool SetRegValue(Registry& registry, RegistryRoot root, const std::string& subKey,
                 const std::string& valueName, const std::string& value,
                 std::uint32_t type = kRegSz);
bool DeleteRegValue(Registry& registry, RegistryRoot root, const std::string& subKey,
                    const std::string& valueName);

// The main window's side of the "Load this software on Windows startup" box.
class StartupOptionView {
  public:
    virtual ~StartupOptionView() = default;
    virtual void SetCheck8Visible(bool visible) = 0;
    // Clears "Start in system tray" and runs that box's own click handler.
    virtual void ClearCheck8() = 0;
};

// Click handler of Check5. Does nothing while settings are being loaded. Settings failures
// pass to the caller; registry failures are not reported.
void Check5Click(bool loadingSettings, bool ticked, StartupOptionView& view,
                 SettingsStore& settings, Registry& registry, std::string_view executablePath);

}  // namespace sv
