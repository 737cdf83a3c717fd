#include "backup/thinning.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "backup/naming.h"

namespace sv::backup {
namespace {

// Every span and period is counted on the local clock as names write it, as if each day had 24
// hours: an hour the clock repeats is one clock hour, one it skips has no backups.
struct Placed {
    std::int64_t key;  // half-seconds: a one-file-a-day name comes just before midnight
    std::int64_t day;  // since 1 Jan 1970
    int hour;
    int minute;
    std::int64_t month;  // year * 12 + month - 1
};

constexpr std::int64_t kHour = 2 * 3600;  // in keys
constexpr std::int64_t kDay = 24 * kHour;
constexpr std::size_t kNewest = 10;
constexpr std::int64_t kLongestPause = 7 * kDay;

Placed Place(const LocalTime& t, bool dayOnly) {
    Placed p{0, DayNumber(t), t.hour, t.minute, std::int64_t{t.year} * 12 + t.month - 1};
    if (dayOnly) {
        p.hour = 23;
        p.minute = 59;
        p.key = (p.day + 1) * kDay - 1;
    } else {
        p.key = p.day * kDay + t.hour * kHour + t.minute * 120 + t.second * 2;
    }
    return p;
}

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// Each period follows the one before it on the clock, so the newest first meet each in turn.
struct Band {
    std::int64_t span;  // in keys, up to t; 0 for ever
    std::int64_t (*period)(const Placed&);
};

const Band kBands[] = {
    {2 * kHour, [](const Placed& p) { return (p.day * 24 + p.hour) * 12 + p.minute / 5; }},
    {48 * kHour, [](const Placed& p) { return p.day * 24 + p.hour; }},
    {60 * kDay, [](const Placed& p) { return p.day; }},
    // 1 Jan 1970 was a Thursday: weeks start on the Mondays 4 days on from it.
    {52 * 7 * kDay, [](const Placed& p) { return FloorDivide(p.day - 4, 7); }},
    {0, [](const Placed& p) { return p.month; }},
};

}  // namespace

std::vector<std::size_t> NotKept(const std::vector<Candidate>& candidates, const LocalTime& t) {
    const std::int64_t now = Place(t, false).key;
    std::vector<Placed> placed;
    placed.reserve(candidates.size());
    std::int64_t newestOther = 0;
    bool others = false;
    for (const Candidate& c : candidates) {
        placed.push_back(Place(c.stamp.moment, c.stamp.dayOnly));
        if (!c.written) {
            newestOther = others ? std::max(newestOther, placed.back().key) : placed.back().key;
            others = true;
        }
    }
    // A clock set forward, or the first run after a long pause: the next run thins.
    if (!others || now - newestOther > kLongestPause) {
        return {};
    }

    std::vector<bool> kept(candidates.size(), false);
    // The rules weigh the candidates up to t; one later (a clock set back) stays, and is not
    // among the 10 newest.
    std::vector<std::size_t> upToT;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].written || placed[i].key > now) {
            kept[i] = true;
        }
        if (placed[i].key <= now) {
            upToT.push_back(i);
        }
    }
    std::sort(upToT.begin(), upToT.end(),
              [&](std::size_t a, std::size_t b) { return placed[a].key > placed[b].key; });
    for (std::size_t rank = 0; rank < upToT.size(); ++rank) {
        const std::size_t i = upToT[rank];
        // Two of the same moment are alike: either both are among the newest or neither.
        if (rank < kNewest || placed[i].key == placed[upToT[kNewest - 1]].key) {
            kept[i] = true;
        }
    }
    for (const Band& band : kBands) {
        std::int64_t period = 0;
        std::int64_t newest = 0;
        for (std::size_t rank = 0; rank < upToT.size(); ++rank) {
            const Placed& p = placed[upToT[rank]];
            if (band.span != 0 && now - p.key > band.span) {
                break;
            }
            if (rank == 0 || band.period(p) != period) {
                period = band.period(p);
                newest = p.key;
            }
            if (p.key == newest) {
                kept[upToT[rank]] = true;
            }
        }
    }

    std::vector<std::size_t> removed;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!kept[i]) {
            removed.push_back(i);
        }
    }
    return removed;
}

void ThinOut(FileSystem& files, Locale& locale, const std::string& target,
             const std::string& drawing, std::string_view extension, const LocalTime& t) try {
    const std::optional<PathParts> parts = SplitPath(target);
    if (!parts) {
        return;
    }
    const std::string& folder = parts->folder;
    const std::string& written = parts->name;
    const BackupNames names(drawing, std::string(extension), locale);
    const std::vector<FolderEntry> entries = files.ListFolder(folder);
    std::vector<Candidate> candidates;
    std::vector<const std::string*> leaves;
    bool found = false;
    for (const FolderEntry& entry : entries) {
        if (entry.folder || entry.readOnly) {
            continue;
        }
        if (std::optional<BackupStamp> stamp = names.Parse(entry.name)) {
            const bool isWritten = entry.name == written;
            found = found || isWritten;
            candidates.push_back({*stamp, isWritten});
            leaves.push_back(&entry.name);
        }
    }
    // The new backup not among them (the locale changed since its stamp was written): the rules
    // would weigh the others without it.
    if (!found) {
        return;
    }
    // A long history thinned for the first time goes over several runs: each removal blocks the
    // window for a few milliseconds.
    const std::vector<std::size_t> removed = NotKept(candidates, t);
    for (std::size_t n = 0; n < removed.size() && n < kMostRemovedInARun; ++n) {
        files.RemoveUnused(folder + "\\" + *leaves[removed[n]], Removal::Recycle);
    }
} catch (...) {
    // A folder that cannot be listed: nothing is removed.
}

}  // namespace sv::backup
