// Cross-process cost of a backup run against the stand-in: calls and time per copied page.
// Runs the same backup of a 1-page and a 20-page drawing; the difference is the pages' share.
// "changed": a timed run over an unchanged drawing with "Back up only when the drawing has
// changed" on, against one that copies; then a working day through the engine on the fakes.
// "busy": what a busy moment of either instance adds to a run of a 1-page drawing.
#include "backup/dispatch_client_win32.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/save_all.h"
#include "backup/testing/choices.h"
#include "backup/testing/fake_visio.h"
#include "backup/testing/fakes.h"
#include "backup/testing/standin_win32.h"

namespace sv::backup {
namespace {

struct Sample {
    double seconds = 0;
    win32::CallStats stats;
    int reports = 0;
    int instances = 0;
};

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Faults planted for the instances of one measurement: the user's, and those the run starts.
struct Busy {
    const char* what = "";
    int rounds = 3;
    std::vector<std::pair<std::string, std::string>> user;
    std::vector<std::pair<std::string, std::string>> temporary;
};

Sample Measure(int pageCount, const std::string& folder, const Busy& busy = {}) {
    testing::PlantedFaults userFaults(L"Interactive");
    testing::PlantedFaults temporaryFaults(L"Embedding");
    for (const auto& [member, data] : busy.user) {
        userFaults.Set(member, data);
    }
    for (const auto& [member, data] : busy.temporary) {
        temporaryFaults.Set(member, data);
    }
    testing::UserInstance user;
    if (!user.ready()) {
        std::fprintf(stderr, "the stand-in did not start\n");
        std::exit(1);
    }
    win32::DispatchLink link;
    {
        Object app = link.AttachToVisio();
        app->GetObj("Documents")->Call("Add", {std::string()});
        Object pages = app->GetObj("ActiveDocument")->GetObj("Pages");
        for (int i = 1; i <= pageCount; ++i) {
            Object page = i == 1 ? pages->GetObj("Item", {1}) : pages->Call("Add").TakeObject();
            for (int s = 0; s < 3; ++s) {
                page->Call("DrawRectangle", {1.0 + s, 1.0, 2.0 + s, 2.0})
                    .TakeObject()
                    ->Put("Text", "shape " + std::to_string(s));
            }
        }
    }
    testing::RecordingDialogs dialogs;
    testing::FakeChoices choices;
    choices.folder = folder;
    choices.mode = NamingMode::Overwrite;
    testing::FakeClock clock;
    testing::EnglishLocale locale;
    testing::DrawingsOnDisk files;
    BackupEngine engine(link, dialogs, choices, clock, locale, files, "C:\\log.txt", ".vsd");
    link.ResetStats();
    double start = Now();
    engine.SaveAll();
    Sample sample;
    sample.seconds = Now() - start;
    sample.stats = link.Stats();
    sample.reports = static_cast<int>(dialogs.messages.size());
    return sample;
}

// Time of one plain property read in each kind of instance.
void Probe() {
    testing::UserInstance user;
    win32::DispatchLink link;
    Object userApp = link.AttachToVisio();
    Object tempApp = link.StartVisio().app;
    for (Object* app : {&userApp, &tempApp}) {
        (*app)->GetObj("Documents")->Call("Add", {std::string()});
        Object sheet = (*app)
                           ->GetObj("ActiveDocument")
                           ->GetObj("Pages")
                           ->GetObj("Item", {1})
                           ->GetObj("PageSheet");
        Object cell = sheet->GetObj("Cells", {std::string("PageWidth")});
        double start = Now();
        for (int i = 0; i < 200; ++i) {
            cell->GetDefault();
        }
        double read = (Now() - start) / 200;
        start = Now();
        for (int i = 0; i < 200; ++i) {
            cell->PutDefault(Arg(3.0));
        }
        double write = (Now() - start) / 200;
        start = Now();
        for (int i = 0; i < 200; ++i) {
            sheet->GetObj("Cells", {std::string("PageWidth")});
        }
        double fetch = (Now() - start) / 200;
        std::printf("%s: read %.2f ms, write %.2f ms, fetch+release %.2f ms\n",
                    app == &userApp ? "user" : "temporary", read * 1000, write * 1000,
                    fetch * 1000);
    }
    testing::QuitQuietly(*tempApp);
}

// The link, counting the instances it starts.
class CountingLink : public DrawingLink {
  public:
    explicit CountingLink(DrawingLink& link) : link_(link) {}
    Object AttachToVisio() override { return link_.AttachToVisio(); }
    StartedInstance StartVisio() override {
        ++starts;
        return link_.StartVisio();
    }
    int starts = 0;

  private:
    DrawingLink& link_;
};

// A 3-page drawing left as it is: timed runs until one leaves it alone (each copy is a chance
// for the installation to show that edits move TimeEdited), then one such run measured against
// a timed run with the option off, which copies.
void Interval(const std::string& folder) {
    testing::UserInstance user;
    win32::DispatchLink link;
    {
        Object app = link.AttachToVisio();
        app->GetObj("Documents")->Call("Add", {std::string()});
        Object pages = app->GetObj("ActiveDocument")->GetObj("Pages");
        for (int i = 1; i <= 3; ++i) {
            Object page = i == 1 ? pages->GetObj("Item", {1}) : pages->Call("Add").TakeObject();
            page->Call("DrawRectangle", {1.0, 1.0, 2.0, 2.0});
        }
    }
    CountingLink counting(link);
    testing::RecordingDialogs dialogs;
    testing::FakeChoices choices;
    choices.folder = folder;
    choices.changedOnly = true;
    sv::win32::Win32Clock clock;
    testing::EnglishLocale locale;
    testing::DrawingsOnDisk files;
    BackupEngine engine(counting, dialogs, choices, clock, locale, files, "C:\\log.txt", ".vsd");
    auto measure = [&] {
        link.ResetStats();
        counting.starts = 0;
        const double start = Now();
        engine.SaveAll(RunCause::Timer);
        Sample sample;
        sample.seconds = Now() - start;
        sample.stats = link.Stats();
        sample.instances = counting.starts;
        return sample;
    };
    int copies = 0;
    Sample left;
    do {
        left = measure();
        copies += left.instances;
    } while (left.instances > 0 && copies < 30);
    choices.changedOnly = false;
    Sample copied = measure();
    auto report = [](const char* what, const Sample& s) {
        std::printf("%-10s %7.3f s  %4llu Invoke  %3llu GetIDsOfNames  %d instances\n", what,
                    s.seconds, static_cast<unsigned long long>(s.stats.invokes),
                    static_cast<unsigned long long>(s.stats.lookups), s.instances);
    };
    std::printf("unchanged 3-page drawing, %d timed runs copied before one left it alone\n",
                copies);
    report("left alone", left);
    report("copied", copied);
    std::printf("calls %llu, time %.4fx the copy's\n",
                static_cast<unsigned long long>(left.stats.invokes + left.stats.lookups),
                left.seconds / copied.seconds);
}

// The fake applications' clock, as this machine's: both from the same moment.
class WorldClock : public Clock {
  public:
    explicit WorldClock(const testing::FakeWorld& world) : world_(world) {}
    LocalTime Now() override {
        const std::int64_t second = world_.milliseconds / 1000;
        return {2021,
                12,
                7,
                static_cast<int>(second / 3600),
                static_cast<int>(second / 60 % 60),
                static_cast<int>(second % 60)};
    }
    std::int64_t MonotonicMilliseconds() override { return world_.milliseconds; }

  private:
    const testing::FakeWorld& world_;
};

// Eight hours at the 30-second interval, through the engine against the fakes on a simulated
// clock: a 3-page drawing edited in 6 bursts of 5 edits 2 s apart, each call into the
// application taking `callMs`. A run starts at a tick of the countdown, up to a second after
// the interval's end; a temporary instance takes its time to start.
void Day(bool wholeSeconds, std::int64_t callMs) {
    testing::FakeVisio visio;
    visio.world.folders = {"D:\\Backups"};
    visio.world.millisecondsPerCall = callMs;
    visio.world.wholeSeconds = wholeSeconds;
    constexpr std::int64_t kStart = 9 * 3600 * 1000;  // 9:00
    visio.world.milliseconds = kStart;
    auto plan = visio.User().AddDrawing("Plan.vsd", "C:\\Plans\\", 3);
    testing::RecordingDialogs dialogs;
    testing::FakeChoices choices;
    choices.changedOnly = true;
    WorldClock clock(visio.world);
    testing::EnglishLocale locale;
    testing::WorldFiles files(visio.world);
    BackupEngine engine(visio, dialogs, choices, clock, locale, files, "C:\\log.txt", ".vsd");
    constexpr std::int64_t kSecond = 1000;
    constexpr std::int64_t kDay = kStart + 8 * 3600 * kSecond;
    std::vector<std::int64_t> edits;
    for (int burst = 0; burst < 6; ++burst) {
        for (int k = 0; k < 5; ++k) {
            edits.push_back(kStart + (burst + 1) * 67 * 60 * kSecond + 3 * kSecond +
                            k * 2 * kSecond);
        }
    }
    std::size_t nextEdit = 0;
    int runs = 0;
    std::uint64_t jitter = 1;
    std::optional<int> firstLeftAlone;  // copies made until then
    std::int64_t& now = visio.world.milliseconds;
    for (std::int64_t due = kStart + 30 * kSecond; due < kDay; due = now + 30 * kSecond) {
        while (nextEdit < edits.size() && edits[nextEdit] < due) {
            now = std::max(now, edits[nextEdit++]);
            visio.running->Edit(*plan);
        }
        jitter = (jitter * 1103515245 + 12345) % 2147483648;
        now = due + static_cast<std::int64_t>((jitter >> 16) % kSecond);
        const std::size_t before = visio.started.size();
        engine.SaveAll(RunCause::Timer);
        ++runs;
        if (!firstLeftAlone && visio.started.size() == before) {
            firstLeftAlone = static_cast<int>(before);
        }
    }
    int saves = 0;
    for (const auto& instance : visio.started) {
        saves += instance->CallsTo("SaveAs");
    }
    std::printf(
        "%s clock, %lld ms a call: %d timed runs, %zu instances started, %d files written, "
        "%d reports; the first run to leave it alone came after %d copies\n",
        wholeSeconds ? "whole-second" : "millisecond", static_cast<long long>(callMs), runs,
        visio.started.size(), saves, static_cast<int>(dialogs.messages.size()),
        firstLeftAlone.value_or(-1));
}

// Each busy period beside a run without one, alternating. A busy period longer than the link's
// patience outlasts any wait of the run: once is enough.
void MeasureBusy(const std::string& folder) {
    const std::vector<Busy> cases = {
        {"no busy period", 3, {}, {}},
        {"user's instance busy 3 s", 3, {{"ActiveDocument", "busy 3"}}, {}},
        {"temporary instance busy 3 s from its start", 3, {}, {{"Start", "busy 3"}}},
        {"temporary instance busy 3 s after Paste", 3, {}, {{"Paste", "busy 3"}}},
        {"temporary instance busy 32 s after SaveAs", 1, {}, {{"SaveAs", "busy 32"}}},
    };
    std::vector<std::vector<Sample>> samples(cases.size());
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < cases.size(); ++i) {
            if (round < cases[i].rounds) {
                samples[i].push_back(Measure(1, folder, cases[i]));
            }
        }
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::printf("%-44s", cases[i].what);
        for (const Sample& s : samples[i]) {
            std::printf(" %6.2f s (%d)", s.seconds, s.reports);
        }
        std::printf("\n");
    }
}

int Run(const std::string& mode) {
    sv::win32::ComApartment apartment;
    if (mode == "probe") {
        Probe();
        return 0;
    }
    if (mode == "busy") {
        testing::ScratchFolder folder("h2 busy bench");
        MeasureBusy(folder.path());
        return 0;
    }
    if (mode == "changed") {
        testing::ScratchFolder folder("h2 bench");
        Interval(folder.path());
        for (std::int64_t callMs : {1, 4, 20}) {
            Day(true, callMs);
        }
        Day(false, 1);
        return 0;
    }
    testing::ScratchFolder folder("h2 bench");
    const int pages = 20;
    Sample one = Measure(1, folder.path());
    Sample many = Measure(pages, folder.path());
    auto report = [](const char* what, const Sample& s) {
        std::printf("%-10s %7.3f s  %6llu Invoke  %4llu GetIDsOfNames  %d reports\n", what,
                    s.seconds, static_cast<unsigned long long>(s.stats.invokes),
                    static_cast<unsigned long long>(s.stats.lookups), s.reports);
    };
    report("1 page", one);
    report("20 pages", many);
    auto perPage = [&](std::uint64_t a, std::uint64_t b) {
        return static_cast<double>(b - a) / (pages - 1);
    };
    double invokes = perPage(one.stats.invokes, many.stats.invokes);
    double lookups = perPage(one.stats.lookups, many.stats.lookups);
    double ms = (many.seconds - one.seconds) / (pages - 1) * 1000;
    std::printf("per copied page: %.1f Invoke + %.1f GetIDsOfNames = %.1f calls, %.1f ms\n",
                invokes, lookups, invokes + lookups, ms);
    return 0;
}

}  // namespace
}  // namespace sv::backup

int main(int argc, char** argv) {
    return sv::backup::Run(argc > 1 ? argv[1] : "");
}
