#include "backup/change_watch.h"

#include <cmath>
#include <exception>
#include <utility>
#include <variant>

#include "backup/naming.h"
#include "common/failure.h"

namespace sv::backup {
namespace {

// Over this long a clock that shows whole seconds has moved by at least one, with time to
// spare for the reads themselves.
constexpr std::int64_t kDecisiveSpan = 2000;
constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;

// A read that fails or gives the unexpected is nothing; the application gone is the caller's
// to report.
template <class Read>
auto Quietly(AutomationObject& object, Read&& read) -> std::optional<decltype(read())> {
    try {
        return read();
    } catch (...) {
        if (object.Lost()) {
            throw;
        }
        return std::nullopt;
    }
}

// The whole second a moment falls in.
std::int64_t SecondOf(Date date) {
    return static_cast<std::int64_t>(std::floor(date.days * 86400 + 1e-3));
}

// The DATE of a local time.
Date DateOf(const LocalTime& t) {
    // A DATE counts days from 30 December 1899, 25,569 days before 1 January 1970.
    return Date{static_cast<double>(DayNumber(t) + 25569) +
                (t.hour * 3600 + t.minute * 60 + t.second) / 86400.0};
}

}  // namespace

std::optional<DrawingSignals> ReadSignals(AutomationObject& document, Clock& clock) {
    return Quietly(document, [&]() -> DrawingSignals {
        DrawingSignals signals;
        const Value fullName = document.Get("FullName");
        const auto* text = std::get_if<std::string>(&fullName.AsArg());
        if (!text || text->empty()) {
            throw Failure("Type mismatch");
        }
        signals.fullName = *text;
        signals.timeEdited = document.Get("TimeEdited").AsDate();
        const Value saved = document.Get("Saved");
        const auto* flag = std::get_if<bool>(&saved.AsArg());
        if (!flag) {
            throw Failure("Type mismatch");
        }
        signals.saved = *flag;
        signals.pageCount = document.GetObj("Pages")->Get("Count").Integer();
        if (signals.pageCount < 0) {
            throw Failure("Type mismatch");
        }
        signals.readAt = DateOf(clock.Now());
        return signals;
    });
}

void EditClock::CopyBegins(std::optional<Date> timeEdited, std::int64_t atMilliseconds) {
    begin_ = timeEdited;
    beganAt_ = atMilliseconds;
}

void EditClock::CopyEnded(std::optional<Date> timeEdited, std::int64_t atMilliseconds) {
    const std::optional<Date> begin = std::exchange(begin_, std::nullopt);
    if (!begin || !timeEdited || state_ == State::Frozen) {
        return;
    }
    if (*timeEdited != *begin) {
        state_ = State::Moves;
    } else if (atMilliseconds - beganAt_ >= kDecisiveSpan) {
        state_ = State::Frozen;
    }
}

bool ChangeWatch::Unchanged(const DrawingSignals& now) {
    if (!editClock_.ShowsEdits()) {
        return false;
    }
    auto found = backups_.find(now.fullName);
    if (found == backups_.end() || found->second.signals != now) {
        return false;
    }
    const Backup& last = found->second;
    return clock_.MonotonicMilliseconds() - last.at < kDay && files_.Exists(last.path);
}

void ChangeWatch::CopyBegins(AutomationObject& backup) {
    std::optional<Date> value = Quietly(backup, [&] { return backup.Get("TimeEdited").AsDate(); });
    editClock_.CopyBegins(value, clock_.MonotonicMilliseconds());
}

void ChangeWatch::CopyEnded(AutomationObject& backup) {
    const std::int64_t at = clock_.MonotonicMilliseconds();
    editClock_.CopyEnded(Quietly(backup, [&] { return backup.Get("TimeEdited").AsDate(); }), at);
}

void ChangeWatch::Placed(const std::string& path) {
    std::erase_if(backups_, [&](const auto& entry) { return entry.second.path == path; });
}

void ChangeWatch::BackedUp(const DrawingSignals& signals, const std::string& path) {
    if (SecondOf(signals.timeEdited) < SecondOf(signals.readAt)) {
        backups_[signals.fullName] = {signals, path, clock_.MonotonicMilliseconds()};
    }
}

}  // namespace sv::backup
