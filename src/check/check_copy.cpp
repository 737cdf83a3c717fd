#include "check/check_steps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>

#include "common/failure.h"

namespace sv::check {

using backup::AutomationObject;
using backup::Object;
using backup::Value;

namespace {

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
}  // namespace

// 4: the copy of an unshown page's shapes into the second instance, in place, with the
// window left as it was.
void Checks::CheckCopyAndPaste() {
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
                Object shape = page->Call("DrawRectangle", {r[0], r[1], r[2], r[3]}).TakeObject();
                placed.push_back(PinOf(*shape));
            }
            PageNamed(secondPage_)->Call("DrawRectangle", {3.0, 3.0, 4.0, 4.0});
        })) {
        return;
    }
    // An instance started hidden may have no active window: then whether a copy leaves the
    // window alone cannot be seen, and the copy is checked all the same.
    std::string noWindow = "the hidden instance has no active window to look at";
    try {
        Value active = first_.started.app->Get("ActiveWindow");
        if (active.IsObject()) {
            window = active.TakeObject();
        }
    } catch (const std::exception& e) {
        noWindow = "no window to look at: " + Why(e);
    }
    if (!window) {
        Unknown("Window.Selection", noWindow);
    } else if (!Try("Window.Page", "showing the second page in the window", [&] {
                   window->Put("Page", secondPage_);
                   window->Call("SelectAll");
                   shownBefore = window->GetObj("Page")->GetText("Name");
                   selectedBefore = window->GetObj("Selection")->Get("Count").Integer();
               })) {
        return;
    }
    Object selection;
    if (!Try("Page.CreateSelection", "CreateSelection(visSelTypeAll) on an unshown page", [&] {
            selection =
                PageNamed(firstPage_)->Call("CreateSelection", {backup::kSelTypeAll}).TakeObject();
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
    if (window) {
        CheckWindowUnchanged(*window, shownBefore, selectedBefore);
    }
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

void Checks::CheckWindowUnchanged(AutomationObject& window, const std::string& shownBefore,
                                  int selectedBefore) {
    Try("Window.Selection", "reading the window after the copy", [&] {
        std::string shown = window.GetObj("Page")->GetText("Name");
        int selected = window.GetObj("Selection")->Get("Count").Integer();
        if (shown != shownBefore || selected != selectedBefore) {
            Fail("Window.Selection", "the window showed \"" + shownBefore + "\" with " +
                                         std::to_string(selectedBefore) +
                                         " selected, and after the copy \"" + shown + "\" with " +
                                         std::to_string(selected));
            return;
        }
        Pass("Window.Selection", "the window's page and selection stay as they were");
    });
}

// 5: the program copies no blank page: Copy of an empty selection is taken to fail.
void Checks::CheckEmptyCopy() {
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

}  // namespace sv::check
