// Cross-process cost of a backup run against the stand-in: calls and time per copied page.
// Runs the same backup of a 1-page and a 20-page drawing; the difference is the pages' share.
// With "busy": what a busy moment of either instance adds to a run of a 1-page drawing.
#include "backup/dispatch_client_win32.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "backup/save_all.h"
#include "backup/testing/choices.h"
#include "backup/testing/fakes.h"
#include "backup/testing/standin_win32.h"

namespace sv::backup {
namespace {

struct Sample {
    double seconds = 0;
    win32::CallStats stats;
    int reports = 0;
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
