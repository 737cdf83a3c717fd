#pragma once

#include <chrono>

#include "common/system.h"

// Moments on the local clock as backup names write them, moved by whole seconds as if every day
// had 24 hours.
namespace sv::backup::testing {

inline std::chrono::sys_seconds OnTheClock(const LocalTime& t) {
    using namespace std::chrono;
    return sys_days(year(t.year) / t.month / t.day) + hours(t.hour) + minutes(t.minute) +
           seconds(t.second);
}

inline LocalTime Civil(std::chrono::sys_seconds at) {
    using namespace std::chrono;
    const sys_days day = floor<days>(at);
    const year_month_day date(day);
    const hh_mm_ss time(at - day);
    return {int(date.year()),          int(unsigned(date.month())), int(unsigned(date.day())),
            int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())};
}

inline LocalTime Before(const LocalTime& t, std::chrono::seconds by) {
    return Civil(OnTheClock(t) - by);
}

}  // namespace sv::backup::testing
