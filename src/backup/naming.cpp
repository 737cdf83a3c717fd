#include "backup/naming.h"

#include <chrono>
#include <cstdio>

namespace sv::backup {
namespace {

std::string CollapsePairs(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        out += s[i];
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '\\') {
            ++i;
        }
    }
    return out;
}

constexpr std::string_view kUnfinishedPrefix = "~Stenvault unfinished ";
// Older than any run: a file this old that is still named so belongs to no run in progress.
constexpr std::int64_t kLeftoverAgeSeconds = 3600;

std::string TwoDigits(int n) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

}  // namespace

std::string FixBackslashes(std::string_view path) {
    if (path.empty() || path.front() != '\\') {
        return CollapsePairs(path);
    }
    std::size_t rest = path.find_first_not_of('\\');
    if (rest == std::string_view::npos) {
        rest = path.size();
    }
    return "\\\\" + CollapsePairs(path.substr(rest));
}

std::string StampDate(std::string_view month, const LocalTime& time) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", time.year);
    return std::string(month) + " " + std::to_string(time.day) + " " + year;
}

std::string StampTime(const LocalTime& time, std::string_view marker) {
    int hour12 = time.hour % 12;
    if (hour12 == 0) {
        hour12 = 12;
    }
    return TwoDigits(hour12) + " " + TwoDigits(time.minute) + " " + TwoDigits(time.second) + " " +
           std::string(marker);
}

std::string Stamp(NamingMode mode, std::string_view date, std::string_view time,
                  std::string_view extension) {
    switch (mode) {
        case NamingMode::NewFile:
            return " Date " + std::string(date) + " Time " + std::string(time) +
                   std::string(extension);
        case NamingMode::Overwrite:
            return " " + std::string(date) + std::string(extension);
        case NamingMode::None:
            break;
    }
    return {};
}

std::string StampName(std::string_view base, NamingMode mode, Clock& clock, Locale& locale,
                      std::string_view extension) {
    if (mode == NamingMode::None) {
        return {};
    }
    const LocalTime day = clock.Now();
    const std::string date = StampDate(locale.MonthAbbreviation(day.month), day);
    std::string time;
    if (mode == NamingMode::NewFile) {
        const LocalTime now = clock.Now();
        time = StampTime(now, locale.TimeMarker(Afternoon(now)));
    }
    return std::string(base) + Stamp(mode, date, time, extension);
}

std::int64_t DayNumber(const LocalTime& time) {
    const std::chrono::year_month_day date{std::chrono::year(time.year),
                                           std::chrono::month(static_cast<unsigned>(time.month)),
                                           std::chrono::day(static_cast<unsigned>(time.day))};
    return std::chrono::sys_days(date).time_since_epoch().count();
}

std::optional<PathParts> SplitPath(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    return PathParts{std::string(path.substr(0, slash)), std::string(path.substr(slash + 1))};
}

std::string UnfinishedName(std::int64_t number, std::string_view extension) {
    return std::string(kUnfinishedPrefix) + std::to_string(number) + std::string(extension);
}

std::vector<std::string> Leftovers(const std::vector<FolderEntry>& entries,
                                   std::string_view extension) {
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        std::string_view name = entry.name;
        if (entry.folder || entry.readOnly || entry.ageSeconds <= kLeftoverAgeSeconds ||
            name.size() <= kUnfinishedPrefix.size() + extension.size() ||
            !name.starts_with(kUnfinishedPrefix) || !name.ends_with(extension)) {
            continue;
        }
        const std::string_view number = name.substr(
            kUnfinishedPrefix.size(), name.size() - kUnfinishedPrefix.size() - extension.size());
        if (number.find_first_not_of("0123456789") == std::string_view::npos) {
            names.push_back(entry.name);
        }
    }
    return names;
}

}  // namespace sv::backup
