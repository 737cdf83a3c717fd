#include "check/checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <utility>

#include "backup/instance_quit.h"
#include "backup/page_copy.h"
#include "check/cell_table.h"
#include "common/failure.h"

namespace sv::check {
namespace {

using backup::Arg;
using backup::Args;
using backup::AutomationObject;
using backup::Object;
using backup::PageCell;
using backup::ToArg;
using backup::VariantArray;

constexpr std::size_t kCellCount = backup::kPageCells.size();

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

std::string Quoted(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) {
        out += out.empty() ? "\"" : ", \"";
        out += t + "\"";
    }
    return out;
}

std::optional<double> AsNumber(const Arg& value) {
    if (const auto* d = std::get_if<double>(&value)) {
        return *d;
    }
    if (const auto* i = std::get_if<std::int32_t>(&value)) {
        return *i;
    }
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? -1.0 : 0.0;
    }
    return std::nullopt;
}

// Cell values agree when they are the same number (to the last few digits a double keeps
// through a round trip) or the same text.
bool SameValue(const Arg& a, const Arg& b) {
    auto x = AsNumber(a);
    auto y = AsNumber(b);
    if (x && y) {
        return std::fabs(*x - *y) <= 1e-9 * std::max(1.0, std::fabs(*x));
    }
    return a == b;
}

std::string Shown(const Arg& value) {
    if (auto n = AsNumber(value)) {
        return Number(*n);
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        return "\"" + *s + "\"";
    }
    return "(empty)";
}

struct Point {
    double x = 0;
    double y = 0;
};

Point PinOf(AutomationObject& shape) {
    auto read = [&](const char* cell) {
        auto n = AsNumber(shape.GetObj("CellsU", {std::string(cell)})->GetDefault().AsArg());
        if (!n) {
            throw Failure(std::string(cell) + " is not a number");
        }
        return *n;
    };
    return {read("PinX"), read("PinY")};
}

std::string Shown(const Point& p) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "(%.6g, %.6g)", p.x, p.y);
    return buffer;
}

std::string Shown(std::vector<Point> points) {
    std::string out;
    for (const Point& p : points) {
        if (!out.empty()) {
            out += ' ';
        }
        out += Shown(p);
    }
    return out;
}

std::vector<Point> Sorted(std::vector<Point> points) {
    std::sort(points.begin(), points.end(),
              [](const Point& a, const Point& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return points;
}

bool SamePlaces(const std::vector<Point>& a, const std::vector<Point>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    auto x = Sorted(a);
    auto y = Sorted(b);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::fabs(x[i].x - y[i].x) > 1e-6 || std::fabs(x[i].y - y[i].y) > 1e-6) {
            return false;
        }
    }
    return true;
}

// A temporary instance and its process, ended when this goes whatever became of Quit.
struct Instance {
    backup::StartedInstance started;
    std::uint32_t processId = 0;
    std::unique_ptr<ProcessView> process;
    Object drawing;
    bool hangTold = false;

    ~Instance() { End(); }
    void End() {
        drawing.reset();
        started.app.reset();
        if (started.process) {
            started.process->End(std::chrono::milliseconds(0));
            started.process.reset();
        }
    }
};

class Checks {
  public:
    Checks(backup::DrawingLink& link, CheckHost& host) : link_(link), host_(host) {}

    CheckReport Run() {
        host_.Clipboard().Take();
        try {
            RunAll();
        } catch (const std::exception& e) {
            Add(Outcome::Unknown, "(checks)", std::string("stopped early: ") + e.what());
        }
        first_.End();
        second_.End();
        host_.Clipboard().Restore();
        return std::move(report_);
    }

  private:
    void Add(Outcome outcome, std::string member, std::string reason) {
        report_.lines.push_back({outcome, std::move(member), std::move(reason)});
    }
    void Pass(std::string member, std::string reason) {
        Add(Outcome::Pass, std::move(member), std::move(reason));
    }
    void Fail(std::string member, std::string reason) {
        Add(Outcome::Fail, std::move(member), std::move(reason));
    }
    void Unknown(std::string member, std::string reason) {
        Add(Outcome::Unknown, std::move(member), std::move(reason));
    }

    // Runs a step; its failure becomes a failing line for the member with what went wrong.
    template <class Step>
    bool Try(const std::string& member, const std::string& doing, Step&& step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            Fail(member, doing + " failed: " + Why(e));
            return false;
        }
    }

    // A failure's description, and once per instance, that it had stopped answering and was
    // ended: the cause of this failure and of every later one in that instance.
    std::string Why(const std::exception& e) {
        std::string why = e.what();
        for (Instance* instance : {&first_, &second_}) {
            if (instance->process && !instance->hangTold) {
                if (auto windows = instance->process->EndedShowing()) {
                    instance->hangTold = true;
                    why += "; Visio stopped answering and its instance was ended" +
                           (windows->empty() ? std::string()
                                             : std::string(", showing ") + Quoted(*windows));
                }
            }
        }
        return why;
    }

    // Runs one check with the instances watched, so that a hanging call cannot hold it.
    template <class Check>
    void Watched(Check&& check) {
        for (Instance* instance : {&first_, &second_}) {
            if (instance->process) {
                instance->process->Arm(kCheckPatience);
            }
        }
        check();
        for (Instance* instance : {&first_, &second_}) {
            if (instance->process) {
                instance->process->Disarm();
            }
        }
    }

    void RunAll() {
        if (!Start(first_, "the first")) {
            return;
        }
        Watched([&] { ReadVersion(); });
        bool drawing = false;
        Watched([&] { drawing = AddDrawing(first_, true); });
        if (!drawing) {
            return;
        }
        Watched([&] { CheckPages(); });
        Watched([&] { CheckCells(); });
        if (Start(second_, "a second")) {
            Watched([&] { drawing = AddDrawing(second_, false); });
            if (drawing) {
                Watched([&] { CheckCopyAndPaste(); });
                Watched([&] { CheckSaveAs(); });
            }
        }
        Watched([&] { CheckEmptyCopy(); });
        Quit(first_, "the first");
        if (second_.started.app) {
            Quit(second_, "the second");
        }
    }

    // 1: a new process of its own, known to the program, hidden.
    bool Start(Instance& instance, const std::string& which) {
        std::set<std::uint32_t> before = host_.ProcessIds();
        try {
            instance.started = link_.StartVisio();
        } catch (const std::exception& e) {
            Fail("StartVisio", "could not start " + which + " instance: " + e.what());
            return false;
        }
        if (!instance.started.app) {
            Fail("StartVisio", "gave no instance");
            return false;
        }
        report_.started = true;
        if (!instance.started.process) {
            Fail("StartVisio",
                 which +
                     " instance's process could not be identified: the program could not end "
                     "it if Quit failed");
        } else if ((instance.processId = instance.started.process->Id()) == 0) {
            Unknown("StartVisio", which + " instance's process id is not known");
        } else if (before.count(instance.processId)) {
            Fail("StartVisio", which + " instance runs in process " +
                                   std::to_string(instance.processId) +
                                   ", which was running before: it is not an instance of its own, "
                                   "and was left alone");
            LeaveAlone(instance);
            return false;
        } else {
            Pass("StartVisio", which + " instance is a new process of its own (" +
                                   std::to_string(instance.processId) +
                                   "), identified as the program does");
            instance.process = host_.OpenProcess(instance.processId);
        }
        // A new instance has no drawing open: one that has is someone's own, not to be
        // touched any further.
        int open = 0;
        Try("Documents.Count", "reading it",
            [&] { open = instance.started.app->GetObj("Documents")->Get("Count").Integer(); });
        if (open > 0) {
            Fail("StartVisio", which + " instance already has " + std::to_string(open) +
                                   " drawings open: it is not a new instance, and was left alone");
            LeaveAlone(instance);
            return false;
        }
        Try("Application.Visible", "setting it to False",
            [&] { instance.started.app->Put("Visible", false); });
        return true;
    }

    // Lets go of an instance that may be the user's, asking nothing of it and never ending it.
    static void LeaveAlone(Instance& instance) {
        instance.process.reset();
        instance.started.process.reset();
        instance.started.app.reset();
    }

    void ReadVersion() {
        AutomationObject& app = *first_.started.app;
        Try("Application.Version", "reading it", [&] { report_.version = app.GetText("Version"); });
        Try("Application.Build", "reading it", [&] { report_.build = app.GetText("Build"); });
    }

    // 2: an empty, active drawing with one page; and no window of the hidden instance shows.
    bool AddDrawing(Instance& instance, bool checkIt) {
        AutomationObject& app = *instance.started.app;
        if (!Try("Documents.Add", "adding a drawing", [&] {
                instance.drawing =
                    app.GetObj("Documents")->Call("Add", {std::string()}).TakeObject();
            })) {
            return false;
        }
        if (checkIt) {
            Try("Documents.Add", "looking at the new drawing", [&] {
                std::string name = instance.drawing->GetText("Name");
                Object active = app.GetObj("ActiveDocument");
                std::string activeName = active ? active->GetText("Name") : std::string();
                int pages = instance.drawing->GetObj("Pages")->Get("Count").Integer();
                if (activeName != name) {
                    Fail("Documents.Add", "the new drawing \"" + name +
                                              "\" is not the ActiveDocument (\"" + activeName +
                                              "\" is)");
                } else if (pages != 1) {
                    Fail("Documents.Add",
                         "the new drawing has " + std::to_string(pages) + " pages, not 1");
                } else {
                    Pass("Documents.Add", "gives an empty drawing with one page, made active");
                }
            });
        }
        if (!instance.process) {
            return true;
        }
        std::vector<std::string> windows = instance.process->VisibleWindows();
        if (windows.empty()) {
            Pass("Application.Visible",
                 "False: no window of the instance shows, with a drawing open in it");
        } else {
            Fail("Application.Visible",
                 "False, yet the instance shows windows: " + Quoted(windows));
        }
        return true;
    }

    Object Pages() { return first_.drawing->GetObj("Pages"); }

    void CheckPages() {
        Try("Pages.Item", "Pages.Item(1)", [&] {
            Object pages = Pages();
            Object page = pages->GetObj("Item", {std::int32_t{1}});
            firstPage_ = page->GetText("Name");
            Pass("Pages.Item", "Item(1) gives the drawing's page \"" + firstPage_ + "\"");
        });
        Try("Pages.Add", "adding a page", [&] {
            Object pages = Pages();
            Object page = pages->Call("Add").TakeObject();
            secondPage_ = page->GetText("Name");
            int count = pages->Get("Count").Integer();
            std::string last = pages->GetObj("Item", {std::int32_t{count}})->GetText("Name");
            std::string first = pages->GetObj("Item", {std::int32_t{1}})->GetText("Name");
            if (count != 2 || last != secondPage_ || first != firstPage_) {
                Fail("Pages.Add", "after adding \"" + secondPage_ + "\" the drawing has " +
                                      std::to_string(count) + " pages, first \"" + first +
                                      "\", last \"" + last + "\"");
                return;
            }
            Pass("Pages.Add", "appends a page and gives it back; Item(1) is still the first");
        });
    }

    Object PageNamed(const std::string& name) { return Pages()->GetObj("Item", {name}); }

    Object Sheet(const std::string& page) { return PageNamed(page)->GetObj("PageSheet"); }

    // 3: the cell table by index, then by universal name, then in one batch.
    void CheckCells() {
        if (firstPage_.empty() || secondPage_.empty()) {
            Unknown("Shape.CellsSRC", "needs the two pages Pages.Item and Pages.Add did not give");
            return;
        }
        Object source;
        Object target;
        if (!Try("Page.PageSheet", "reading it", [&] {
                source = Sheet(firstPage_);
                target = Sheet(secondPage_);
            })) {
            return;
        }
        for (CheckLine& line : CheckCellIndices(backup::kPageCells, [&](const PageCell& cell) {
                 Args at{std::int32_t{cell.section}, std::int32_t{cell.row},
                         std::int32_t{cell.cell}};
                 try {
                     return source->GetObj("CellsSRC", at)->GetText("Name");
                 } catch (const std::exception& e) {
                     throw Failure(Why(e));
                 }
             })) {
            report_.lines.push_back(std::move(line));
        }
        std::vector<Arg> values;
        if (!CheckCellsByName(*source, values)) {
            Unknown("Shape.GetResults", "needs every cell read by CellsU to compare with");
            return;
        }
        CheckBatch(*source, *target, values);
    }

    // Each cell read, written with a value of its own, and read back.
    bool CheckCellsByName(AutomationObject& sheet, std::vector<Arg>& values) {
        std::vector<std::string> problems;
        for (const PageCell& cell : backup::kPageCells) {
            const Args name{std::string(cell.name)};
            try {
                Object written = sheet.GetObj("CellsU", name);
                Arg value = written->GetDefault().AsArg();
                if (auto n = AsNumber(value)) {
                    value = Changed(cell, *n);
                }
                // CellsU is get-only: the cell it gives is written.
                written->PutDefault(value);
                Arg back = sheet.GetObj("CellsU", name)->GetDefault().AsArg();
                if (!SameValue(back, value)) {
                    problems.push_back(std::string(cell.name) + " written " + Shown(value) +
                                       ", read back " + Shown(back));
                }
                values.push_back(back);
            } catch (const std::exception& e) {
                problems.push_back(std::string(cell.name) + ": " + Why(e));
                values.emplace_back();
            }
        }
        if (!problems.empty()) {
            Fail("Shape.CellsU", Joined(problems));
            return false;
        }
        Pass("Shape.CellsU", "reads and writes all " + std::to_string(kCellCount) +
                                 " page cells by universal name");
        return true;
    }

    // Lengths are moved off their defaults, so that a copy that misses one shows.
    static Arg Changed(const PageCell& cell, double value) {
        static const std::set<std::string_view> kLengths = {
            "PageWidth",    "PageHeight",  "ShdwOffsetX", "ShdwOffsetY", "XRulerOrigin",
            "YRulerOrigin", "XGridOrigin", "YGridOrigin", "BlockSizeX",  "BlockSizeY"};
        if (kLengths.count(cell.name)) {
            return value + 0.25 + 0.01 * static_cast<double>(&cell - backup::kPageCells.data());
        }
        return value;
    }

    void CheckBatch(AutomationObject& source, AutomationObject& target,
                    const std::vector<Arg>& expected) {
        VariantArray results;
        if (!Try("Shape.GetResults", "reading the " + std::to_string(kCellCount) + " cells", [&] {
                Args args{backup::PageCellStream(), std::int32_t{0}, VariantArray{},
                          VariantArray{}};
                source.CallWithArrays("GetResults", args);
                results = std::get<VariantArray>(args[3]);
            })) {
            return;
        }
        std::vector<std::string> differ;
        for (std::size_t i = 0; i < kCellCount; ++i) {
            const Arg got = i < results.items.size() ? ToArg(results.items[i]) : Arg();
            if (!SameValue(got, expected[i])) {
                differ.push_back(std::string(backup::kPageCells[i].name) + " " + Shown(got) +
                                 " where CellsU reads " + Shown(expected[i]));
            }
        }
        if (results.items.size() != kCellCount || !differ.empty()) {
            Fail("Shape.GetResults", std::to_string(results.items.size()) + " results for " +
                                         std::to_string(kCellCount) + " cells" +
                                         (differ.empty() ? "" : ": " + Joined(differ)));
            return;
        }
        Pass("Shape.GetResults", "gives what CellsU reads, cell by cell");
        if (!Try("Shape.SetResults", "writing the cells of the other page", [&] {
                Args args{backup::PageCellStream(), VariantArray{}, results, std::int32_t{0}};
                target.CallWithArrays("SetResults", args);
            })) {
            return;
        }
        differ.clear();
        for (std::size_t i = 0; i < kCellCount; ++i) {
            const Args name{std::string(backup::kPageCells[i].name)};
            try {
                Arg got = target.GetObj("CellsU", name)->GetDefault().AsArg();
                if (!SameValue(got, expected[i])) {
                    differ.push_back(std::string(backup::kPageCells[i].name) + " " + Shown(got) +
                                     " instead of " + Shown(expected[i]));
                }
            } catch (const std::exception& e) {
                differ.push_back(std::string(backup::kPageCells[i].name) + ": " + Why(e));
            }
        }
        if (!differ.empty()) {
            Fail("Shape.SetResults", "the other page's cells read back as " + Joined(differ));
            return;
        }
        Pass("Shape.SetResults",
             "a GetResults/SetResults round trip between two pages copies exactly what CellsU "
             "reads");
    }

    static std::string Joined(const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& p : parts) {
            text += text.empty() ? p : "; " + p;
        }
        return text;
    }

    // 4: the copy of an unshown page's shapes into the second instance, in place, with the
    // window left as it was.
    void CheckCopyAndPaste() {
        const std::string need = "needs the pages Pages.Item and Pages.Add did not give";
        if (firstPage_.empty() || secondPage_.empty()) {
            Unknown("Page.CreateSelection", need);
            return;
        }
        std::vector<Point> placed;
        Object window;
        std::string shownBefore;
        int selectedBefore = 0;
        if (!Try("Page.DrawRectangle", "drawing the shapes to copy", [&] {
                Object page = PageNamed(firstPage_);
                for (const auto& r : {std::array<double, 4>{1.0, 1.0, 2.0, 1.5},
                                      std::array<double, 4>{5.0, 7.0, 6.5, 9.25}}) {
                    Object shape =
                        page->Call("DrawRectangle", {r[0], r[1], r[2], r[3]}).TakeObject();
                    placed.push_back(PinOf(*shape));
                }
                PageNamed(secondPage_)->Call("DrawRectangle", {3.0, 3.0, 4.0, 4.0});
            })) {
            return;
        }
        if (!Try("Window.Page", "showing the second page in the window", [&] {
                window = first_.started.app->GetObj("ActiveWindow");
                window->Put("Page", secondPage_);
                window->Call("SelectAll");
                shownBefore = window->GetObj("Page")->GetText("Name");
                selectedBefore = window->GetObj("Selection")->Get("Count").Integer();
            })) {
            return;
        }
        Object selection;
        if (!Try("Page.CreateSelection", "CreateSelection(visSelTypeAll) on an unshown page", [&] {
                selection = PageNamed(firstPage_)
                                ->Call("CreateSelection", {backup::kSelTypeAll})
                                .TakeObject();
                Pass("Page.CreateSelection", "selects a page's shapes with no window showing it");
            })) {
            Unknown("Page.Paste", "needs the selection CreateSelection did not give");
            return;
        }
        if (!Try("Selection.Count", "reading it", [&] {
                int count = selection->Get("Count").Integer();
                if (count != static_cast<int>(placed.size())) {
                    Fail("Selection.Count", std::to_string(count) + " for a page with " +
                                                std::to_string(placed.size()) + " shapes");
                    return;
                }
                Pass("Selection.Count", "counts every shape of the page");
            })) {
            return;
        }
        backup::ClipboardKeeper& clipboard = host_.Clipboard();
        if (!Try("Selection.Copy", "Copy(visCopyPasteNoTranslate)", [&] {
                clipboard.BeforeOwnCopy();
                selection->Call("Copy", {backup::kCopyPasteNoTranslate});
                clipboard.NoteOwnChange();
            })) {
            Unknown("Page.Paste", "needs the copy Selection.Copy did not make");
            return;
        }
        Pass("Selection.Copy", "copies the selection of an unshown page");
        CheckWindowUnchanged(*window, shownBefore, selectedBefore);
        if (!clipboard.HoldsOwnCopy()) {
            Unknown("Page.Paste", "something else was copied meanwhile; nothing was pasted");
            return;
        }
        std::vector<Point> pasted;
        if (!Try("Page.Paste", "Paste(visCopyPasteNoTranslate) into the second instance", [&] {
                Object page = second_.drawing->GetObj("Pages")->GetObj("Item", {std::int32_t{1}});
                page->Call("Paste", {backup::kCopyPasteNoTranslate});
                clipboard.NoteOwnChange();
                Object shapes = page->GetObj("Shapes");
                int count = shapes->Get("Count").Integer();
                for (int i = 1; i <= count; ++i) {
                    pasted.push_back(PinOf(*shapes->GetObj("Item", {std::int32_t{i}})));
                }
            })) {
            return;
        }
        if (!SamePlaces(placed, pasted)) {
            Fail("Page.Paste", "the shapes at " + Shown(placed) + " arrived at " +
                                   (pasted.empty() ? std::string("nothing") : Shown(pasted)));
            return;
        }
        Pass("Page.Paste", "the shapes arrive in the other instance at their own PinX/PinY");
    }

    void CheckWindowUnchanged(AutomationObject& window, const std::string& shownBefore,
                              int selectedBefore) {
        Try("Window.Selection", "reading the window after the copy", [&] {
            std::string shown = window.GetObj("Page")->GetText("Name");
            int selected = window.GetObj("Selection")->Get("Count").Integer();
            if (shown != shownBefore || selected != selectedBefore) {
                Fail("Window.Selection", "the window showed \"" + shownBefore + "\" with " +
                                             std::to_string(selectedBefore) +
                                             " selected, and after the copy \"" + shown +
                                             "\" with " + std::to_string(selected));
                return;
            }
            Pass("Window.Selection", "the window's page and selection stay as they were");
        });
    }

    // 5: the program copies no blank page: Copy of an empty selection is taken to fail.
    void CheckEmptyCopy() {
        Object selection;
        if (!Try("Page.CreateSelection", "CreateSelection on a blank page", [&] {
                Object page = Pages()->Call("Add").TakeObject();
                selection = page->Call("CreateSelection", {backup::kSelTypeAll}).TakeObject();
            })) {
            return;
        }
        backup::ClipboardKeeper& clipboard = host_.Clipboard();
        try {
            clipboard.BeforeOwnCopy();
            selection->Call("Copy", {backup::kCopyPasteNoTranslate});
        } catch (const std::exception& e) {
            Pass("Selection.Copy", std::string("an empty selection is refused (\"") + e.what() +
                                       "\"), as the program expects: it copies no blank page");
            return;
        }
        clipboard.NoteOwnChange();
        Fail("Selection.Copy",
             "an empty selection was copied without an error, where the program expects a "
             "refusal");
    }

    // 6: SaveAs writes a .vsd file and replaces it without asking.
    void CheckSaveAs() {
        AutomationObject& drawing = *second_.drawing;
        const std::string path = host_.ScratchFolder() + "\\Stenvault check.vsd";
        auto saveAs = [&] { drawing.Call("SaveAs", {}, {{"fileName", path}}); };
        if (!Try("Document.SaveAs", "saving to a new .vsd name", saveAs)) {
            return;
        }
        std::optional<std::string> first = host_.ReadFile(path);
        if (!first || first->empty()) {
            Fail("Document.SaveAs", "returned, yet wrote no file at " + path);
            return;
        }
        Pass("Document.SaveAs", "writes the drawing to a .vsd name");
        if (!Try("Document.SaveAs", "saving again over the file", [&] {
                drawing.GetObj("Pages")
                    ->GetObj("Item", {std::int32_t{1}})
                    ->Call("DrawRectangle", {2.0, 2.0, 3.0, 3.0});
                saveAs();
            })) {
            return;
        }
        std::optional<std::string> second = host_.ReadFile(path);
        if (!second || *second == *first) {
            Fail("Document.SaveAs", "a second SaveAs to the same name left the old file there");
            return;
        }
        Pass("Document.SaveAs", "a second SaveAs replaces the file without asking");
    }

    // 7: a drawing marked saved, questions answered No, and Quit ends the process.
    void Quit(Instance& instance, const std::string& which) {
        AutomationObject& app = *instance.started.app;
        if ((instance.process && instance.process->EndedShowing()) || app.Lost()) {
            Unknown("Application.Quit", which + " instance had stopped answering before");
            return;
        }
        std::string failure;
        const bool taken = backup::AskToQuit(
            app, std::move(instance.drawing), [&](backup::QuitStep step, const auto& action) {
                switch (step) {
                    case backup::QuitStep::MarkSaved:
                        Try("Document.Saved", "setting it to True", action);
                        break;
                    case backup::QuitStep::AnswerNo:
                        Try("Application.AlertResponse",
                            "setting it to " + std::to_string(backup::kAnswerNo) + " (IDNO)",
                            action);
                        break;
                    case backup::QuitStep::Quit:
                        if (instance.process) {
                            instance.process->Arm(backup::kQuitGrace);
                        }
                        try {
                            action();
                        } catch (const std::exception& e) {
                            failure = e.what();
                        }
                        break;
                }
            });
        if (!instance.process) {
            if (taken) {
                Unknown("Application.Quit",
                        "took the Quit, but whether " + which + " instance ended cannot be seen");
            } else {
                Fail("Application.Quit", "failed: " + failure);
            }
            return;
        }
        bool ended = instance.process->WaitForExit(backup::kQuitGrace);
        instance.process->Disarm();
        std::optional<std::vector<std::string>> hung = instance.process->EndedShowing();
        if (ended && !hung) {
            Pass("Application.Quit", which + " instance's process ended without a question");
            return;
        }
        instance.hangTold = instance.hangTold || hung.has_value();
        std::vector<std::string> windows = hung ? *hung : instance.process->VisibleWindows();
        Fail("Application.Quit",
             (failure.empty() ? std::string() : "failed (" + failure + "), and ") + which +
                 " instance's process was still running after " +
                 std::to_string(backup::kQuitGrace.count() / 1000) + " s" +
                 (windows.empty() ? std::string() : ", showing " + Quoted(windows)));
    }

    backup::DrawingLink& link_;
    CheckHost& host_;
    CheckReport report_;
    Instance first_;
    Instance second_;
    std::string firstPage_;
    std::string secondPage_;
};

}  // namespace

CheckReport RunChecks(backup::DrawingLink& link, CheckHost& host) {
    return Checks(link, host).Run();
}

}  // namespace sv::check
