#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "settings/settings_store.h"

namespace sv {

// Settings kept in memory, for tests and for running without a registry.
class MemorySettingsStore : public SettingsStore {
  public:
    using Key = std::tuple<std::string, std::string, std::string>;  // app, section, key

    std::optional<std::string> Read(const std::string& app, const std::string& section,
                                    const std::string& key) override {
        ++reads_;
        auto it = values_.find(Key{app, section, key});
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }

    void Write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& value) override {
        ++writes_;
        values_[Key{app, section, key}] = value;
    }

    // Everything stored so far, for inspection.
    const std::map<Key, std::string>& Values() const { return values_; }

    // The value of a key of the program's own section, if stored.
    std::optional<std::string> Value(const std::string& key) const {
        auto it = values_.find(Key{kSettingsApp, kSettingsSection, key});
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }

    // Seeds a value of the program's own section without counting it as a write.
    void Set(const std::string& key, const std::string& value) {
        values_[Key{kSettingsApp, kSettingsSection, key}] = value;
    }

    int Reads() const { return reads_; }
    int Writes() const { return writes_; }

  private:
    std::map<Key, std::string> values_;
    int reads_ = 0;
    int writes_ = 0;
};

}  // namespace sv
