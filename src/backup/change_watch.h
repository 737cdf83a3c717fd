#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "backup/automation.h"
#include "common/system.h"

namespace sv::backup {

// What tells a run whether a drawing changed, read from it before anything is copied.
struct DrawingSignals {
    std::string fullName;
    Date timeEdited;
    bool saved = false;
    std::int32_t pageCount = 0;
    // This machine's local time, to the second, when they were read; not a signal.
    Date readAt;
    bool operator==(const DrawingSignals& other) const {
        return fullName == other.fullName && timeEdited == other.timeEdited &&
               saved == other.saved && pageCount == other.pageCount;
    }
};

// The document's signals; nothing when a read fails or gives what the type library does not
// declare (an empty FullName, a TimeEdited that is no date, a Saved that is no Boolean, a count
// that is no number). Throws only when the application is gone or given up as busy, which the
// caller reports.
std::optional<DrawingSignals> ReadSignals(AutomationObject& document, Clock& clock);

// Whether this installation moves TimeEdited when a drawing changes, as the run's own copies
// show it: each copy changes its new drawing in the temporary instance, whose TimeEdited is read
// before the first page and after the last. A move shows it; no move over a copy long enough
// for a clock of whole seconds to show one means it does not, for the rest of the process. A
// shorter copy without a move shows nothing either way.
class EditClock {
  public:
    // Before the first page: the new drawing's value (nothing when it could not be read) and
    // the moment it was read.
    void CopyBegins(std::optional<Date> timeEdited, std::int64_t atMilliseconds);
    // After the last page of a copy that changed the drawing.
    void CopyEnded(std::optional<Date> timeEdited, std::int64_t atMilliseconds);
    bool ShowsEdits() const { return state_ == State::Moves; }

  private:
    enum class State { Unknown, Moves, Frozen };
    State state_ = State::Unknown;
    std::optional<Date> begin_;
    std::int64_t beganAt_ = 0;
};

// The drawings this process backed up, kept in memory only, and whether a timed run may leave
// one alone.
class ChangeWatch {
  public:
    ChangeWatch(Clock& clock, FileSystem& files) : clock_(clock), files_(files) {}

    // True when the drawing is as its signals were at its last backup by this process, that
    // backup is still at the path that was logged and less than a day old, and the
    // installation has shown that edits move TimeEdited.
    bool Unchanged(const DrawingSignals& now);
    // The new drawing in the temporary instance, as the copy begins and after the last page of
    // a copy that changed it. A failed read shows nothing; it throws only when the instance is
    // gone.
    void CopyBegins(AutomationObject& backup);
    void CopyEnded(AutomationObject& backup);
    // A backup took the place of whatever was at `path`: an earlier drawing's backup there is
    // gone.
    void Placed(const std::string& path);
    // After Placed, it was logged: a whole copy of the drawing as `signals` showed it. Not one
    // whose signals were read in the second it was last edited: an edit later in that second
    // would leave a TimeEdited of whole seconds as it was.
    void BackedUp(const DrawingSignals& signals, const std::string& path);

  private:
    struct Backup {
        DrawingSignals signals;
        std::string path;
        std::int64_t at = 0;
    };
    Clock& clock_;
    FileSystem& files_;
    EditClock editClock_;
    std::map<std::string, Backup> backups_;  // by the drawing's full name
};

}  // namespace sv::backup
