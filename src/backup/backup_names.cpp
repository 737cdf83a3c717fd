#include "backup/backup_names.h"

#include <chrono>
#include <utility>
#include <vector>

#include "backup/naming.h"

namespace sv::backup {
namespace {

// The runs of digits in the text, in order; false for a run longer than any field.
bool Numbers(std::string_view text, std::vector<int>& numbers) {
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        int value = 0;
        std::size_t digits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            value = value * 10 + (text[i] - '0');
        }
        if (digits > 4) {
            return false;
        }
        numbers.push_back(value);
    }
    return true;
}

// The fields in the order the stamp writes them: day and year, then hour, minute and second.
std::optional<BackupStamp> Reading(int month, const std::vector<int>& numbers, bool afternoon) {
    if (numbers.size() != 2 && numbers.size() != 5) {
        return std::nullopt;
    }
    BackupStamp stamp;
    stamp.moment = LocalTime{numbers[1], month, numbers[0], 0, 0, 0};
    stamp.dayOnly = numbers.size() == 2;
    const std::chrono::year_month_day date{std::chrono::year(numbers[1]),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(numbers[0]))};
    if (!date.ok()) {
        return std::nullopt;
    }
    if (!stamp.dayOnly) {
        // An hour outside 01 to 12 is written back otherwise; minutes and seconds would not be.
        if (numbers[3] > 59 || numbers[4] > 59) {
            return std::nullopt;
        }
        stamp.moment.hour = numbers[2] % 12 + (afternoon ? 12 : 0);
        stamp.moment.minute = numbers[3];
        stamp.moment.second = numbers[4];
    }
    return stamp;
}

}  // namespace

BackupNames::BackupNames(std::string drawing, std::string extension, Locale& locale)
    : drawing_(std::move(drawing)),
      extension_(std::move(extension)),
      morning_(locale.TimeMarker(false)),
      afternoon_(locale.TimeMarker(true)) {
    for (int month = 1; month <= 12; ++month) {
        months_[month - 1] = locale.MonthAbbreviation(month);
    }
}

std::string BackupNames::Written(const BackupStamp& stamp) const {
    const LocalTime& t = stamp.moment;
    const std::string date = StampDate(months_[t.month - 1], t);
    if (stamp.dayOnly) {
        return Stamp(NamingMode::Overwrite, date, {}, extension_);
    }
    return Stamp(NamingMode::NewFile, date, StampTime(t, Afternoon(t) ? afternoon_ : morning_),
                 extension_);
}

// The fields are read loosely, around each place a month's name appears; a reading counts only
// when the stamp written for it is the name's own, character for character.
std::optional<BackupStamp> BackupNames::Parse(std::string_view fileName) const {
    if (fileName.size() < drawing_.size() + extension_.size() || !fileName.starts_with(drawing_) ||
        !fileName.ends_with(extension_)) {
        return std::nullopt;
    }
    const std::string_view stamp = fileName.substr(drawing_.size());
    const std::string_view fields = stamp.substr(0, stamp.size() - extension_.size());
    std::optional<BackupStamp> found;
    for (int month = 1; month <= 12; ++month) {
        const std::string& name = months_[month - 1];
        if (name.empty()) {
            continue;
        }
        for (std::size_t at = fields.find(name); at != std::string_view::npos;
             at = fields.find(name, at + 1)) {
            std::vector<int> numbers;
            if (!Numbers(fields.substr(0, at), numbers) ||
                !Numbers(fields.substr(at + name.size()), numbers)) {
                continue;
            }
            for (const bool afternoon : {false, true}) {
                std::optional<BackupStamp> reading = Reading(month, numbers, afternoon);
                if (!reading || Written(*reading) != stamp) {
                    continue;
                }
                if (found && *found != *reading) {
                    return std::nullopt;
                }
                found = reading;
            }
        }
    }
    return found;
}

}  // namespace sv::backup
