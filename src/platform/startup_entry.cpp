#include "platform/startup_entry.h"

#include "settings/settings_store.h"

namespace sv {
namespace {

// Closes an opened key however the write ends.
class OpenKey {
  public:
    OpenKey(Registry& registry, RegistryRoot root, const std::string& subKey)
        : registry_(registry), key_(registry.Open(root, subKey, kRunKeyAccess)) {}
    ~OpenKey() {
        if (key_) {
            registry_.Close(*key_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    const std::optional<Registry::Key>& key() const { return key_; }

  private:
    Registry& registry_;
    std::optional<Registry::Key> key_;
};

}  // namespace

PathParts SplitPath(std::string_view fullPath) {
    auto slash = fullPath.find_last_of("\\/");
    if (slash == std::string_view::npos) {
        return {"", std::string(fullPath)};
    }
    return {std::string(fullPath.substr(0, slash)), std::string(fullPath.substr(slash + 1))};
}

bool SetRegValue(Registry& registry, RegistryRoot root, const std::string& subKey,
                 const std::string& valueName, const std::string& value, std::uint32_t type) {
    OpenKey open(registry, root, subKey);
    if (!open.key() || type != kRegSz) {
        return false;
    }
    return registry.SetString(*open.key(), valueName, value);
}

bool DeleteRegValue(Registry& registry, RegistryRoot root, const std::string& subKey,
                    const std::string& valueName) {
    OpenKey open(registry, root, subKey);
    return open.key() && registry.DeleteValue(*open.key(), valueName);
}

void SetRunValue(Registry& registry, std::string_view programFolder, std::string_view fileName) {
    std::string path(programFolder);
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    path += fileName;
    const std::string name(fileName);
    const std::string data = "\"" + path + "\"";
    // Without the rights for the machine-wide key, start with Windows for this user at least.
    if (!SetRegValue(registry, RegistryRoot::LocalMachine, kRunSubKey, name, data)) {
        SetRegValue(registry, RegistryRoot::CurrentUser, kRunSubKey, name, data);
    }
}

void DeleteRunValue(Registry& registry, std::string_view fileName) {
    const std::string name(fileName);
    DeleteRegValue(registry, RegistryRoot::LocalMachine, kRunSubKey, name);
    DeleteRegValue(registry, RegistryRoot::CurrentUser, kRunSubKey, name);
}

void AddStartupEntry(Registry& registry, std::string_view executablePath) {
    PathParts parts = SplitPath(executablePath);
    if (parts.fileName.empty()) {
        return;
    }
    SetRunValue(registry, parts.folder, parts.fileName);
}

void RemoveStartupEntry(Registry& registry, std::string_view executablePath) {
    PathParts parts = SplitPath(executablePath);
    if (parts.fileName.empty()) {
        return;
    }
    DeleteRunValue(registry, parts.fileName);
}

void Check5Click(bool loadingSettings, bool ticked, StartupOptionView& view,
                 SettingsStore& settings, Registry& registry, std::string_view executablePath) {
    if (loadingSettings) {
        return;
    }
    if (ticked) {
        view.SetCheck8Visible(true);
        SaveSetting(settings, kSettingsApp, kSettingsSection, "Windows Startup", "On");
        AddStartupEntry(registry, executablePath);
    } else {
        view.ClearCheck8();
        view.SetCheck8Visible(false);
        SaveSetting(settings, kSettingsApp, kSettingsSection, "Windows Startup", "Off");
        RemoveStartupEntry(registry, executablePath);
    }
}

}  // namespace sv
