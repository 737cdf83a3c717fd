#include "backup/page_copy.h"

#include <string>

namespace sv::backup {

IntegerArray PageCellStream() {
    IntegerArray stream;
    for (const PageCell& cell : kPageCells) {
        stream.items.insert(stream.items.end(), {cell.section, cell.row, cell.cell});
    }
    return stream;
}

void CopyPage(RunContext& run, AutomationObject& sourceApp, AutomationObject& sourcePage,
              AutomationObject& targetPage, bool pageShown) {
    Procedure proc(run.dialogs, kCopyPageLocation, &run.reports);

    Object sourceSheet;
    DoNeeding(proc, 100, {&sourcePage}, [&] { sourceSheet = sourcePage.GetObj("PageSheet"); });

    // The shapes come from the user's window: never while it shows another page, and not
    // from a blank page, whose empty selection cannot be copied.
    Object window;
    bool selected = false;
    if (pageShown) {
        DoNeeding(proc, 102, {&sourceApp}, [&] {
            window = sourceApp.GetObj("ActiveWindow");
            window->Call("SelectAll");
            selected = window->GetObj("Selection")->Get("Count").Integer() > 0;
        });
    }
    bool copied = false;
    if (selected) {
        DoNeeding(proc, 104, {window.get()}, [&] {
            run.clipboard.BeforeOwnCopy();
            window->Call("Copy");
            run.clipboard.NoteOwnChange();
            copied = true;
        });
    }
    window.reset();

    Object targetSheet;
    DoNeeding(proc, 106, {&targetPage}, [&] { targetSheet = targetPage.GetObj("PageSheet"); });
    int label = 108;
    for (const PageCell& cell : kPageCells) {
        label += 2;
        DoNeeding(proc, label, {sourceSheet.get(), targetSheet.get()}, [&] {
            const Args name{std::string(cell.name)};
            Value value = sourceSheet->GetObj("Cells", name)->GetDefault();
            targetSheet->Put("Cells", value.AsArg(), name);
        });
    }

    // Only a fresh copy is pasted: otherwise the clipboard holds something else (an earlier
    // page, or what the user copied while a report of this page was open).
    if (copied && run.clipboard.HoldsOwnCopy()) {
        DoNeeding(proc, 196, {&targetPage}, [&] {
            targetPage.Call("Paste");
            run.clipboard.NoteOwnChange();
        });
    }
    // The user's selection is cleared whenever their instance is alive, whatever became of
    // the temporary one.
    DoNeeding(proc, 200, {&sourceApp},
              [&] { sourceApp.GetObj("ActiveWindow")->Call("DeselectAll"); });
}

}  // namespace sv::backup
