#pragma once

#include <array>
#include <string_view>

#include "backup/automation.h"
#include "common/dialogs.h"

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

// Rebuilds sourcePage (shown in the user's active window) on targetPage: shapes through the
// clipboard, then the page-sheet cells. Reports its own failures and never throws. A missing
// page is passed as nullptr and fails at the step that needs it.
void CopyPage(Dialogs& dialogs, AutomationObject& sourceApp, AutomationObject* sourcePage,
              AutomationObject* targetPage);

// Failure("Object variable or With block variable not set") for a missing object.
AutomationObject& Need(AutomationObject* object);

}  // namespace sv::backup
