#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "backup/backup_names.h"
#include "common/system.h"

namespace sv::backup {

// A backup of the drawing found in the folder its new backup went into.
struct Candidate {
    BackupStamp stamp;
    bool written = false;  // the backup the run has just put in place
};

// The candidates no rule keeps, by index, with t the moment of the run that wrote one of them.
// A candidate stays when it is one of the 10 newest up to t; the newest of its 5-minute clock
// period within 2 hours up to t, of its clock hour within 48 hours, of its day within 60 days, of
// its Monday-to-Sunday week within 52 weeks, of its month for ever; or later than t. The backup
// just written always stays, and nothing goes when t is more than 7 days after the newest of
// the others.
std::vector<std::size_t> NotKept(const std::vector<Candidate>& candidates, const LocalTime& t);

inline constexpr std::size_t kMostRemovedInARun = 100;

// After a backup is put in place at `target` and logged at t: the backups of `drawing` in that
// folder (not its subfolders) that no rule keeps go to the Recycle Bin, at most
// kMostRemovedInARun of them; the next run goes on. Reports nothing and never throws: a folder
// that cannot be listed and a file that cannot be removed stay as they are.
void ThinOut(FileSystem& files, Locale& locale, const std::string& target,
             const std::string& drawing, std::string_view extension, const LocalTime& t);

}  // namespace sv::backup
