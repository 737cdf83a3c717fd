// A year of backups at three intervals, thinned after every backup as the program does it: the
// files kept at the end and the largest gap between them by age, then the time one thinning of
// a folder of 2,000 candidates takes. Prints a table; not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "backup/naming.h"
#include "backup/testing/civil_time.h"
#include "backup/testing/fakes.h"
#include "backup/thinning.h"

namespace {

using namespace std::chrono;
using sv::LocalTime;
using sv::backup::Candidate;
using sv::backup::testing::Civil;
using sv::backup::testing::OnTheClock;

std::string Span(seconds s) {
    char text[32];
    if (s < minutes(2)) {
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(s.count()));
    } else if (s < hours(2)) {
        std::snprintf(text, sizeof text, "%.0f min", s.count() / 60.0);
    } else if (s < days(2)) {
        std::snprintf(text, sizeof text, "%.1f h", s.count() / 3600.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f d", s.count() / 86400.0);
    }
    return text;
}

struct AgeBand {
    const char* name;
    seconds upTo;
};
const AgeBand kAges[] = {{"up to 2 h", hours(2)},
                         {"2 h to 48 h", hours(48)},
                         {"48 h to 60 d", days(60)},
                         {"over 60 d", seconds::max()}};

// One backup every `interval` for a year, from Wednesday 1 January 2025, each logged 3 s after
// its stamp and thinned at once.
void Year(seconds interval) {
    const sys_seconds start = sys_days(year(2025) / 1 / 1);
    const sys_seconds end = start + days(365);
    std::vector<Candidate> folder;
    std::size_t most = 0;
    long long runs = 0;
    for (sys_seconds at = start; at < end; at += interval, ++runs) {
        for (Candidate& c : folder) {
            c.written = false;
        }
        folder.push_back({{Civil(at), false}, true});
        const std::vector<std::size_t> removed =
            sv::backup::NotKept(folder, Civil(at + seconds(3)));
        const std::size_t n = std::min(removed.size(), sv::backup::kMostRemovedInARun);
        for (std::size_t i = n; i-- > 0;) {
            folder.erase(folder.begin() + static_cast<std::ptrdiff_t>(removed[i]));
        }
        most = std::max(most, folder.size());
    }
    const sys_seconds last = OnTheClock(folder.back().stamp.moment);
    std::vector<seconds> gaps(std::size(kAges), seconds(0));
    for (std::size_t i = 0; i + 1 < folder.size(); ++i) {
        const seconds age = last - OnTheClock(folder[i].stamp.moment);
        const seconds gap =
            OnTheClock(folder[i + 1].stamp.moment) - OnTheClock(folder[i].stamp.moment);
        std::size_t band = 0;
        while (age > kAges[band].upTo) {
            ++band;
        }
        gaps[band] = std::max(gaps[band], gap);
    }
    std::printf("| %s | %lld | %zu | %zu |", Span(interval).c_str(), runs, folder.size(), most);
    for (const seconds gap : gaps) {
        std::printf(" %s |", gap.count() ? Span(gap).c_str() : "-");
    }
    std::printf("\n");
}

template <class Work>
double MedianMicroseconds(int rounds, Work work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        times.push_back(work());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// 2,000 backups of one drawing, 5 minutes apart up to the one just written, in one folder.
void Folder() {
    const std::string folder = "D:\\Backups";
    const sys_seconds newest = sys_days(year(2025) / 6 / 30) + hours(12);
    sv::backup::testing::EnglishLocale locale;
    sv::backup::testing::MemoryFiles files;
    std::vector<Candidate> candidates;
    std::string target;
    for (int i = 1999; i >= 0; --i) {
        sv::backup::testing::FakeClock clock;
        clock.times = {Civil(newest - minutes(5) * i)};
        target = sv::backup::StampName(folder + "\\Plan.vsdx", sv::backup::NamingMode::NewFile,
                                       clock, locale, ".vsd");
        files.files[target] = "drawing";
        candidates.push_back({{clock.times.front(), false}, i == 0});
    }
    const LocalTime t = Civil(newest + seconds(3));
    std::size_t removed = 0;
    const double rules = MedianMicroseconds(51, [&] {
        const auto begin = steady_clock::now();
        removed = sv::backup::NotKept(candidates, t).size();
        return duration<double, std::micro>(steady_clock::now() - begin).count();
    });
    const double whole = MedianMicroseconds(51, [&] {
        sv::backup::testing::MemoryFiles copy = files;
        const auto begin = steady_clock::now();
        sv::backup::ThinOut(copy, locale, target, "Plan.vsdx", ".vsd", t);
        return duration<double, std::micro>(steady_clock::now() - begin).count();
    });
    std::printf(
        "\n2,000 candidates, %zu not kept: the rules %.0f us; the folder step (list, read "
        "every name, the rules, the first %zu removals, in memory) %.0f us; medians of 51\n",
        removed, rules, std::min(removed, sv::backup::kMostRemovedInARun), whole);
}

}  // namespace

int main() {
    std::printf("| interval | backups | kept at the end | most at once |");
    for (const AgeBand& age : kAges) {
        std::printf(" largest gap, %s |", age.name);
    }
    std::printf("\n|---|---|---|---|---|---|---|---|\n");
    for (const seconds interval : {seconds(30), seconds(minutes(5)), seconds(hours(1))}) {
        Year(interval);
    }
    Folder();
}
