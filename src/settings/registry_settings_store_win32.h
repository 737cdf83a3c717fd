#pragma once

#include <optional>
#include <string>

#include "settings/settings_store.h"

namespace sv::win32 {

// Settings as REG_SZ values under HKEY_CURRENT_USER, key
// "Software\VB and VBA Program Settings\<app>\<section>", where earlier versions kept them.
class RegistrySettingsStore : public SettingsStore {
  public:
    std::optional<std::string> Read(const std::string& app, const std::string& section,
                                    const std::string& key) override;
    void Write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& value) override;
};

// The key path below HKEY_CURRENT_USER for an application's section.
std::string SettingsKeyPath(const std::string& app, const std::string& section);

}  // namespace sv::win32
