#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/system.h"

namespace sv::backup {

// The naming option chosen in the main window at the moment of the run.
enum class NamingMode { NewFile, Overwrite, None };

// Collapses doubled backslashes in one pass (a run of three or four becomes two). A leading
// run of any length becomes exactly two, so a network path keeps its prefix.
std::string FixBackslashes(std::string_view path);

// "mmm d yyyy" with the month's abbreviated name; "hh mm ss AMPM" with the marker of its half
// of the day.
std::string StampDate(std::string_view month, const LocalTime& time);
std::string StampTime(const LocalTime& time, std::string_view marker);
inline bool Afternoon(const LocalTime& time) {
    return time.hour >= 12;
}

// Days from 1 January 1970 to the date of a time whose date exists.
std::int64_t DayNumber(const LocalTime& time);

// What follows the drawing's name: " Date " + date + " Time " + time + extension (new file),
// " " + date + extension (overwrite), or empty text with no mode chosen.
std::string Stamp(NamingMode mode, std::string_view date, std::string_view time,
                  std::string_view extension);

// base + the stamp of the moment in the given locale (new file: date and time from two clock
// readings).
std::string StampName(std::string_view base, NamingMode mode, Clock& clock, Locale& locale,
                      std::string_view extension);

// A path's folder (without the backslash before the name) and the name; nothing for a path
// without a backslash.
struct PathParts {
    std::string folder;
    std::string name;
};
std::optional<PathParts> SplitPath(std::string_view path);

// The name a run saves its copy under, beside the target, until the copy takes the target's
// place: "~Stenvault unfinished " + number + extension.
std::string UnfinishedName(std::int64_t number, std::string_view extension);

// Of one folder's entries, those a run that was ended left behind: files, not read-only, named
// exactly as UnfinishedName makes them (digits only) with this extension, last written more
// than an hour ago. Nothing else is ever named.
std::vector<std::string> Leftovers(const std::vector<FolderEntry>& entries,
                                   std::string_view extension);

}  // namespace sv::backup
