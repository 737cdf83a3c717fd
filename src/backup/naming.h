#pragma once

#include <string>
#include <string_view>

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

// What follows the drawing's name: " Date " + date + " Time " + time + extension (new file),
// " " + date + extension (overwrite), or empty text with no mode chosen.
std::string Stamp(NamingMode mode, std::string_view date, std::string_view time,
                  std::string_view extension);

// base + the stamp of the moment in the given locale (new file: date and time from two clock
// readings).
std::string StampName(std::string_view base, NamingMode mode, Clock& clock, Locale& locale,
                      std::string_view extension);

}  // namespace sv::backup
