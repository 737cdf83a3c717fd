#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "backup/automation.h"
#include "backup/clipboard_keeper.h"
#include "common/dialogs.h"
#include "common/error_report.h"

namespace sv::backup {

inline constexpr std::string_view kCopyPageLocation = "in Quorvel2021/08/31.SaveVisio.CopyPage ";

// Indices of the application's type library (VisSectionIndices, VisRowIndices, VisCellIndices).
inline constexpr std::int16_t kSectionObject = 1;   // visSectionObject
inline constexpr std::int16_t kRowPage = 10;        // visRowPage
inline constexpr std::int16_t kRowRulerGrid = 18;   // visRowRulerGrid
inline constexpr std::int16_t kRowPageLayout = 24;  // visRowPageLayout

// Both for Copy and for Paste: the only way the shapes keep their places on the page.
inline constexpr std::int32_t kCopyPasteNoTranslate = 1;  // visCopyPasteNoTranslate
// Every shape of a page, whatever any window has selected.
inline constexpr std::int32_t kSelTypeAll = 1;  // visSelTypeAll

struct PageCell {
    std::string_view name;  // universal name
    std::int16_t section;
    std::int16_t row;
    std::int16_t cell;
};

// The page-sheet cells a backup page receives, in copy order; the k-th (from 1) is copied at
// line 108 + 2k.
inline constexpr std::array<PageCell, 43> kPageCells = {{
    {"PageWidth", kSectionObject, kRowPage, 0},
    {"PageScale", kSectionObject, kRowPage, 4},
    {"ShdwOffsetX", kSectionObject, kRowPage, 2},
    {"PageHeight", kSectionObject, kRowPage, 1},
    {"DrawingScale", kSectionObject, kRowPage, 5},
    {"ShdwOffsetY", kSectionObject, kRowPage, 3},
    {"DrawingSizeType", kSectionObject, kRowPage, 6},
    {"DrawingScaleType", kSectionObject, kRowPage, 7},
    {"InhibitSnap", kSectionObject, kRowPage, 26},
    {"PlaceStyle", kSectionObject, kRowPageLayout, 8},
    {"PlaceDepth", kSectionObject, kRowPageLayout, 10},
    {"PlowCode", kSectionObject, kRowPageLayout, 11},
    {"ResizePage", kSectionObject, kRowPageLayout, 0},
    {"DynamicsOff", kSectionObject, kRowPageLayout, 2},
    {"EnableGrid", kSectionObject, kRowPageLayout, 1},
    {"CtrlAsInput", kSectionObject, kRowPageLayout, 3},
    {"LineAdjustFrom", kSectionObject, kRowPageLayout, 26},
    {"BlockSizeX", kSectionObject, kRowPageLayout, 18},
    {"BlockSizeY", kSectionObject, kRowPageLayout, 19},
    {"AvenueSizeX", kSectionObject, kRowPageLayout, 20},
    {"AvenueSizeY", kSectionObject, kRowPageLayout, 21},
    {"RouteStyle", kSectionObject, kRowPageLayout, 9},
    {"PageLineJumpDirX", kSectionObject, kRowPageLayout, 14},
    {"PageLineJumpDirY", kSectionObject, kRowPageLayout, 15},
    {"LineAdjustTo", kSectionObject, kRowPageLayout, 27},
    {"LineToNodeX", kSectionObject, kRowPageLayout, 16},
    {"LineToNodeY", kSectionObject, kRowPageLayout, 17},
    {"LineToLineX", kSectionObject, kRowPageLayout, 22},
    {"LineToLineY", kSectionObject, kRowPageLayout, 23},
    {"LineJumpFactorX", kSectionObject, kRowPageLayout, 24},
    {"LineJumpFactorY", kSectionObject, kRowPageLayout, 25},
    {"LineJumpCode", kSectionObject, kRowPageLayout, 12},
    {"LineJumpStyle", kSectionObject, kRowPageLayout, 13},
    {"XRulerOrigin", kSectionObject, kRowRulerGrid, 4},
    {"YRulerOrigin", kSectionObject, kRowRulerGrid, 5},
    {"XRulerDensity", kSectionObject, kRowRulerGrid, 0},
    {"YRulerDensity", kSectionObject, kRowRulerGrid, 1},
    {"XGridOrigin", kSectionObject, kRowRulerGrid, 10},
    {"YGridOrigin", kSectionObject, kRowRulerGrid, 11},
    {"XGridDensity", kSectionObject, kRowRulerGrid, 6},
    {"YGridDensity", kSectionObject, kRowRulerGrid, 7},
    {"XGridSpacing", kSectionObject, kRowRulerGrid, 8},
    {"YGridSpacing", kSectionObject, kRowRulerGrid, 9},
}};

// The 43 cells as the (section, row, cell) stream GetResults and SetResults take, in copy order.
IntegerArray PageCellStream();

// One report per cause within a run's copy: a description already shown in the run,
// whatever its line, is not shown again. Every failure passes here, shown or not.
class RunReports : public ReportFilter {
  public:
    bool Admit(const std::string& description) override {
        ++failures_;
        return shown_.insert(description).second;
    }
    int Failures() const { return failures_; }

  private:
    std::set<std::string> shown_;
    int failures_ = 0;
};

// The user's window, for an application that cannot select a page's shapes without one: the
// run turns it to each page in turn and puts its page and selection back after the last.
class UserWindow {
  public:
    // Remembers the active window with its page and selection. Throws Failure.
    UserWindow(AutomationObject& sourceApp, AutomationObject& document);
    UserWindow(const UserWindow&) = delete;
    UserWindow& operator=(const UserWindow&) = delete;

    // Turns the window to `page`. Refused while the window shows another document: a page of
    // the same name there is not this one.
    void Show(AutomationObject& page);
    // Every shape of the shown page selected; the window's selection of them.
    Object SelectAll();
    // Its page and selection as they were, unless the user has taken the window to another
    // document meanwhile.
    void Restore();

  private:
    bool ShowsDocument();

    Object window_;
    Object page_;
    Object selection_;
    std::string document_;  // full name of the document the run copies
};

// What a run lends each of its page copies.
struct RunContext {
    RunContext(Dialogs& dialogs, RunReports& reports, ClipboardKeeper& clipboard)
        : dialogs(dialogs), reports(reports), clipboard(clipboard) {}

    Dialogs& dialogs;
    RunReports& reports;
    ClipboardKeeper& clipboard;
    // The user's application and the document the run copies, once known.
    AutomationObject* sourceApp = nullptr;
    AutomationObject* document = nullptr;
    // How a page's shapes are selected: chosen at the first page, for the whole connection.
    enum class Shapes { Undecided, PageSelection, Window };
    Shapes shapes = Shapes::Undecided;
    std::optional<UserWindow> window;
};

// A statement that calls into the drawing application runs only while every object it needs
// exists and its instance is alive. An object that could not be obtained, or an instance
// lost or busy, was reported by the statement that found it so; what depends on it is
// skipped without a report.
template <class Statement>
void DoNeeding(Procedure& proc, int label, std::initializer_list<const AutomationObject*> needs,
               Statement&& statement) {
    for (const AutomationObject* object : needs) {
        if (!object || object->Lost()) {
            return;
        }
    }
    proc.Do(label, statement);
}

// A call whose refusal the caller deals with: true when it went through. An instance lost on
// the way ends what the caller was doing, and is reported at the label.
template <class Call>
bool TryReportingLoss(Procedure& proc, int label, AutomationObject& object, Call&& call) {
    try {
        call();
        return true;
    } catch (...) {
        if (object.Lost()) {
            std::exception_ptr failure = std::current_exception();
            proc.Do(label, [&] { std::rethrow_exception(failure); });
        }
        return false;
    }
}

// Rebuilds sourcePage on targetPage: the page-sheet cells, and the shapes through the
// clipboard, copied and pasted where they stand. False when someone else kept writing the
// clipboard between the copy and the paste, so that the page's shapes could not reach it:
// the backup would miss them unseen. Reports its own failures and never throws.
bool CopyPage(RunContext& run, AutomationObject& sourcePage, AutomationObject& targetPage);

}  // namespace sv::backup
