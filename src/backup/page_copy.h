#pragma once

#include <array>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>

#include "backup/automation.h"
#include "backup/clipboard_keeper.h"
#include "common/dialogs.h"
#include "common/error_report.h"

namespace sv::backup {

inline constexpr std::string_view kCopyPageLocation = "in Quorvel2021/08/31.SaveVisio.CopyPage ";

// The page-sheet cells a backup page receives, in copy order; the k-th (from 1) is copied at
// line 108 + 2k.
inline constexpr std::array<std::string_view, 43> kPageCells = {
    "PageWidth",       "PageScale",       "ShdwOffsetX",      "PageHeight",       "DrawingScale",
    "ShdwOffsetY",     "DrawingSizeType", "DrawingScaleType", "InhibitSnap",      "PlaceStyle",
    "PlaceDepth",      "PlowCode",        "ResizePage",       "DynamicsOff",      "EnableGrid",
    "CtrlAsInput",     "LineAdjustFrom",  "BlockSizeX",       "BlockSizeY",       "AvenueSizeX",
    "AvenueSizeY",     "RouteStyle",      "PageLineJumpDirX", "PageLineJumpDirY", "LineAdjustTo",
    "LineToNodeX",     "LineToNodeY",     "LineToLineX",      "LineToLineY",      "LineJumpFactorX",
    "LineJumpFactorY", "LineJumpCode",    "LineJumpStyle",    "XRulerOrigin",     "YRulerOrigin",
    "XRulerDensity",   "YRulerDensity",   "XGridOrigin",      "YGridOrigin",      "XGridDensity",
    "YGridDensity",    "XGridSpacing",    "YGridSpacing",
};

// One report per cause within a run: a description already shown in the run, whatever its
// line, is not shown again.
class RunReports : public ReportFilter {
  public:
    bool Admit(const std::string& description) override {
        return shown_.insert(description).second;
    }

  private:
    std::set<std::string> shown_;
};

// What a run lends each of its page copies.
struct RunContext {
    Dialogs& dialogs;
    RunReports& reports;
    ClipboardKeeper& clipboard;
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

// Rebuilds sourcePage on targetPage: the page-sheet cells, and the shapes through the
// clipboard when the user's active window shows sourcePage (pageShown). Reports its own
// failures and never throws.
void CopyPage(RunContext& run, AutomationObject& sourceApp, AutomationObject& sourcePage,
              AutomationObject& targetPage, bool pageShown);

}  // namespace sv::backup
