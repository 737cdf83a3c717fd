#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "common/system.h"

namespace sv::backup {

// The moment a backup's name carries, as written on the local clock.
struct BackupStamp {
    LocalTime moment;  // a one-file-a-day name has its date and midnight
    bool dayOnly = false;
    bool operator==(const BackupStamp&) const = default;
};

// Tells the names StampName gives one drawing's backups, in either naming mode, from every
// other name: the inverse of the stamp, by the locale's names as they were when it was made.
class BackupNames {
  public:
    BackupNames(std::string drawing, std::string extension, Locale& locale);

    // The moment of a name that is exactly one of this drawing's backup names; nothing for any
    // other name, for a date that does not exist and for a name these locale names could read
    // two ways.
    std::optional<BackupStamp> Parse(std::string_view fileName) const;

  private:
    std::string Written(const BackupStamp& stamp) const;

    std::string drawing_;
    std::string extension_;
    std::array<std::string, 12> months_;
    std::string morning_;
    std::string afternoon_;
};

}  // namespace sv::backup
