#include <exception>
#include <functional>

#include "check/check_steps.h"

namespace sv::check {

using backup::Object;

namespace {

// Longer than a second: a TimeEdited of whole seconds can show an edit made after it.
constexpr std::chrono::milliseconds kEditPause{1100};

}  // namespace

// 6: the program leaves a drawing alone while its TimeEdited stays: every kind of change a
// user makes must move it, and what the program does to read a drawing must not.
void Checks::CheckTimeEdited() {
    const std::string member = "Document.TimeEdited";
    if (firstPage_.empty()) {
        Unknown(member, "needs the page Pages.Item did not give");
        return;
    }
    backup::Date last;
    if (!Try(member, "reading it", [&] { last = first_.drawing->Get("TimeEdited").AsDate(); })) {
        return;
    }
    Object shape;
    Object selection;
    struct Step {
        const char* what;  // as the line says it
        bool edits;
        std::function<void()> act;
        const Object* needs = nullptr;  // what an earlier step gave
    };
    const Step steps[] = {
        {"a shape is added", true,
         [&] {
             shape =
                 PageNamed(firstPage_)->Call("DrawRectangle", {1.0, 1.0, 2.0, 2.0}).TakeObject();
         }},
        {"a cell is written", true,
         [&] { Sheet(firstPage_)->GetObj("CellsU", {std::string("PageWidth")})->PutDefault(9.0); }},
        {"a shape's text changes", true, [&] { shape->Put("Text", "TimeEdited"); }, &shape},
        {"a page is added", true, [&] { Pages()->Call("Add"); }},
        {"a page's shapes are selected (CreateSelection)", false,
         [&] {
             selection =
                 PageNamed(firstPage_)->Call("CreateSelection", {backup::kSelTypeAll}).TakeObject();
         }},
        {"they are copied (Selection.Copy)", false,
         [&] {
             host_.Clipboard().BeforeOwnCopy();
             selection->Call("Copy", {backup::kCopyPasteNoTranslate});
             host_.Clipboard().NoteOwnChange();
         },
         &selection},
        {"the page's cells are read (GetResults)", false,
         [&] {
             backup::Args args{backup::PageCellStream(), std::int32_t{0}, backup::VariantArray{},
                               backup::VariantArray{}};
             Sheet(firstPage_)->CallWithArrays("GetResults", args);
         }},
    };
    auto read = [&] { return first_.drawing->Get("TimeEdited").AsDate(); };
    bool paused = false;
    for (const Step& step : steps) {
        const std::string when = std::string(" when ") + step.what;
        if (step.needs && !*step.needs) {
            Unknown(member, std::string("whether it ") + (step.edits ? "moves" : "stays") + when +
                                ": needs what the step before did not give");
            continue;
        }
        // One pause before each edit, and one before the reads, which a move would show.
        if (step.edits || !paused) {
            host_.Pause(kEditPause);
            paused = !step.edits;
        }
        // A step that fails is another member's line: here it leaves the question open.
        try {
            step.act();
        } catch (const std::exception& e) {
            Unknown(member, std::string("whether it ") + (step.edits ? "moves" : "stays") + when +
                                ": that failed (" + Why(e) + ")");
            if (!Try(member, "reading it", [&] { last = read(); })) {
                return;
            }
            continue;
        }
        backup::Date now;
        if (!Try(member, "reading it" + when, [&] { now = read(); })) {
            return;
        }
        const bool moved = now != last;
        last = now;
        if (moved == step.edits) {
            Pass(member, (moved ? "moves" : "stays") + when);
        } else {
            Fail(member, (moved ? "moved" : "did not move") + when +
                             (moved ? ", which is no edit" : ": an edit the program would miss"));
        }
    }
}

}  // namespace sv::check
