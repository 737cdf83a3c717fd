#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv {

// Application and section under which every setting of the program is kept.
inline constexpr char kSettingsApp[] = "Veltrane";
inline constexpr char kSettingsSection[] = "Stenvault";

// A per-user store of string values addressed by application, section and key.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored value; nothing when the key (or its section) does not exist.
    virtual std::optional<std::string> Read(const std::string& app, const std::string& section,
                                            const std::string& key) = 0;
    // Stores the value, creating the section as needed. Throws Failure.
    virtual void Write(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& value) = 0;
};

// The stored value, or defaultValue when the key is missing or cannot be read.
std::string GetSetting(SettingsStore& store, const std::string& app, const std::string& section,
                       const std::string& key, const std::string& defaultValue = "");

// Stores the value; an empty app, section or key throws Failure.
void SaveSetting(SettingsStore& store, const std::string& app, const std::string& section,
                 const std::string& key, const std::string& value);

// The number the text begins with, 0 when it begins with none: "2abc" -> 2, "" -> 0.
double NumericValue(std::string_view text);

// The text as a 16-bit integer, rounded to the nearest whole number with halves to even.
// Throws Failure("Type mismatch") for a non-number and Failure("Overflow") outside the range.
std::int16_t ToInteger16(std::string_view text);

}  // namespace sv
