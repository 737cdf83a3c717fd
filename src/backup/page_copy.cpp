#include "backup/page_copy.h"

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

namespace sv::backup {
namespace {

constexpr int kFirstCellLabel = 110;
constexpr std::string_view kOtherDocument =
    "The window no longer shows the drawing being backed up.";
constexpr std::string_view kClipboardTaken =
    "Another program changed the clipboard while the page's shapes were on it.";

int CellLabel(std::size_t index) {
    return kFirstCellLabel + 2 * static_cast<int>(index);
}

// A cell by its universal name; an application that has no CellsU at all takes it in Cells.
Object CellOf(AutomationObject& sheet, std::string_view name) {
    const Args args{std::string(name)};
    try {
        return sheet.GetObj("CellsU", args);
    } catch (const UnknownMember&) {
        return sheet.GetObj("Cells", args);
    }
}

using CellValues = std::vector<std::optional<Scalar>>;

CellValues ReadCells(Procedure& proc, AutomationObject& sheet) {
    CellValues values(kPageCells.size());
    // All cells in one call; a refusal is left to the cell-by-cell way, which reports each
    // failing cell at its own line.
    const bool read = TryReportingLoss(proc, kFirstCellLabel, sheet, [&] {
        Args args{PageCellStream(), std::int32_t{0}, VariantArray{}, VariantArray{}};
        sheet.CallWithArrays("GetResults", args);
        const auto& results = std::get<VariantArray>(args[3]).items;
        if (results.size() != kPageCells.size()) {
            throw Failure("Type mismatch");
        }
        std::copy(results.begin(), results.end(), values.begin());
    });
    if (!read) {
        for (std::size_t k = 0; k < kPageCells.size(); ++k) {
            DoNeeding(proc, CellLabel(k), {&sheet}, [&] {
                values[k] = ToScalar(CellOf(sheet, kPageCells[k].name)->GetDefault().AsArg());
            });
        }
    }
    return values;
}

// The cells that were read. SetResults stops at a refused entry, and how far it got does not
// survive its failure: then every cell is written again on its own.
void WriteCells(Procedure& proc, AutomationObject& sheet, const CellValues& values) {
    const IntegerArray all = PageCellStream();
    IntegerArray stream;
    VariantArray results;
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (values[k]) {
            stream.items.insert(stream.items.end(), all.items.begin() + 3 * k,
                                all.items.begin() + 3 * k + 3);
            results.items.push_back(*values[k]);
        }
    }
    if (results.items.empty()) {
        return;
    }
    const bool written = TryReportingLoss(proc, kFirstCellLabel, sheet, [&] {
        Args args{std::move(stream), VariantArray{}, std::move(results), std::int32_t{0}};
        sheet.CallWithArrays("SetResults", args);
    });
    if (!written) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (values[k]) {
                DoNeeding(proc, CellLabel(k), {&sheet}, [&] {
                    CellOf(sheet, kPageCells[k].name)->PutDefault(ToArg(*values[k]));
                });
            }
        }
    }
}

// Line 102: every shape of the page selected, in a selection of the page's own where the
// application can make one, else in the user's window (copied as the window's Selection: the
// window's own Copy is obsolete and takes no flag); their count.
int SelectShapes(RunContext& run, AutomationObject& page, Object& selection) {
    using Shapes = RunContext::Shapes;
    if (run.shapes != Shapes::Window) {
        try {
            selection = page.Call("CreateSelection", {kSelTypeAll}).TakeObject();
            run.shapes = Shapes::PageSelection;
        } catch (...) {
            // Refused from the first page on, by an instance still there: it cannot select
            // without a window.
            if (page.Lost() || run.shapes == Shapes::PageSelection) {
                throw;
            }
            run.shapes = Shapes::Window;
        }
    }
    if (!selection) {
        if (!run.window) {
            run.window.emplace(*run.sourceApp, *run.document);
            run.window->Show(page);
        }
        selection = run.window->SelectAll();
    }
    return selection->Get("Count").Integer();
}

}  // namespace

IntegerArray PageCellStream() {
    IntegerArray stream;
    for (const PageCell& cell : kPageCells) {
        stream.items.insert(stream.items.end(), {cell.section, cell.row, cell.cell});
    }
    return stream;
}

UserWindow::UserWindow(AutomationObject& sourceApp, AutomationObject& document)
    : window_(sourceApp.GetObj("ActiveWindow")), document_(document.GetText("FullName")) {
    page_ = window_->GetObj("Page");
    selection_ = window_->GetObj("Selection");
}

bool UserWindow::ShowsDocument() {
    return window_->GetObj("Document")->GetText("FullName") == document_;
}

void UserWindow::Show(AutomationObject& page) {
    if (!ShowsDocument()) {
        throw Failure(std::string(kOtherDocument));
    }
    window_->Put("Page", page.GetText("Name"));
}

Object UserWindow::SelectAll() {
    window_->Call("SelectAll");
    return window_->GetObj("Selection");
}

void UserWindow::Restore() {
    if (!ShowsDocument()) {
        return;
    }
    window_->Put("Page", page_->GetText("Name"));
    window_->PutObject("Selection", *selection_);
}

bool CopyPage(RunContext& run, AutomationObject& sourcePage, AutomationObject& targetPage) {
    Procedure proc(run.dialogs, kCopyPageLocation, &run.reports);

    Object sourceSheet;
    DoNeeding(proc, 100, {&sourcePage}, [&] { sourceSheet = sourcePage.GetObj("PageSheet"); });

    // No count for shapes that could not be selected; 0 for a blank page, whose empty
    // selection cannot be copied and needs no paste.
    Object selection;
    int count = -1;
    DoNeeding(proc, 102, {&sourcePage}, [&] { count = SelectShapes(run, sourcePage, selection); });
    bool copied = false;
    auto copy = [&] {
        DoNeeding(proc, 104, {&sourcePage, selection.get()}, [&] {
            run.clipboard.BeforeOwnCopy();
            selection->Call("Copy", {kCopyPasteNoTranslate});
            run.clipboard.NoteOwnChange();
            copied = true;
        });
    };
    if (count > 0) {
        copy();
    }

    Object targetSheet;
    DoNeeding(proc, 106, {&targetPage}, [&] { targetSheet = targetPage.GetObj("PageSheet"); });
    if (sourceSheet && targetSheet && !sourceSheet->Lost() && !targetSheet->Lost()) {
        const CellValues values = ReadCells(proc, *sourceSheet);
        WriteCells(proc, *targetSheet, values);
    }

    if (!copied) {
        return true;
    }
    // Someone else wrote the clipboard while this page's shapes were on it (a report of this
    // page was open): the selection is still there to copy once more.
    if (!run.clipboard.HoldsOwnCopy()) {
        copied = false;
        copy();
        if (!copied || !run.clipboard.HoldsOwnCopy()) {
            if (copied) {
                proc.Do(196, [] { throw Failure(std::string(kClipboardTaken)); });
            }
            return false;
        }
    }
    DoNeeding(proc, 196, {&targetPage}, [&] {
        targetPage.Call("Paste", {kCopyPasteNoTranslate});
        run.clipboard.NoteOwnChange();
    });
    return true;
}

}  // namespace sv::backup
