#pragma once

#include <array>
#include <string_view>

namespace sv::standin {

// The page-sheet section a cell is written under in a saved drawing.
enum class Section { kPageProps, kPageLayout, kRulerGrid };

struct CellInfo {
    std::string_view name;
    Section section;
    bool inches;  // a length, saved with Unit="IN"
    double initial;
};

// Every cell a new page's sheet holds, with the value a new US Letter page starts with.
inline constexpr std::array<CellInfo, 43> kPageCells{{
    {"PageWidth", Section::kPageProps, true, 8.5},
    {"PageHeight", Section::kPageProps, true, 11.0},
    {"ShdwOffsetX", Section::kPageProps, true, 0.125},
    {"ShdwOffsetY", Section::kPageProps, true, -0.125},
    {"PageScale", Section::kPageProps, true, 1.0},
    {"DrawingScale", Section::kPageProps, true, 1.0},
    {"DrawingSizeType", Section::kPageProps, false, 0.0},
    {"DrawingScaleType", Section::kPageProps, false, 0.0},
    {"InhibitSnap", Section::kPageProps, false, 0.0},
    {"ResizePage", Section::kPageLayout, false, 0.0},
    {"EnableGrid", Section::kPageLayout, false, 0.0},
    {"DynamicsOff", Section::kPageLayout, false, 0.0},
    {"CtrlAsInput", Section::kPageLayout, false, 0.0},
    {"PlaceStyle", Section::kPageLayout, false, 0.0},
    {"RouteStyle", Section::kPageLayout, false, 0.0},
    {"PlaceDepth", Section::kPageLayout, false, 0.0},
    {"PlowCode", Section::kPageLayout, false, 0.0},
    {"LineJumpCode", Section::kPageLayout, false, 1.0},
    {"LineJumpStyle", Section::kPageLayout, false, 0.0},
    {"PageLineJumpDirX", Section::kPageLayout, false, 0.0},
    {"PageLineJumpDirY", Section::kPageLayout, false, 0.0},
    {"LineToNodeX", Section::kPageLayout, true, 0.125},
    {"LineToNodeY", Section::kPageLayout, true, 0.125},
    {"BlockSizeX", Section::kPageLayout, true, 0.25},
    {"BlockSizeY", Section::kPageLayout, true, 0.25},
    {"AvenueSizeX", Section::kPageLayout, true, 0.375},
    {"AvenueSizeY", Section::kPageLayout, true, 0.375},
    {"LineToLineX", Section::kPageLayout, true, 0.125},
    {"LineToLineY", Section::kPageLayout, true, 0.125},
    {"LineJumpFactorX", Section::kPageLayout, false, 0.66667},
    {"LineJumpFactorY", Section::kPageLayout, false, 0.66667},
    {"LineAdjustFrom", Section::kPageLayout, false, 0.0},
    {"LineAdjustTo", Section::kPageLayout, false, 0.0},
    {"XRulerDensity", Section::kRulerGrid, false, 32.0},
    {"YRulerDensity", Section::kRulerGrid, false, 32.0},
    {"XRulerOrigin", Section::kRulerGrid, true, 0.0},
    {"YRulerOrigin", Section::kRulerGrid, true, 0.0},
    {"XGridDensity", Section::kRulerGrid, false, 8.0},
    {"YGridDensity", Section::kRulerGrid, false, 8.0},
    {"XGridSpacing", Section::kRulerGrid, true, 0.0},
    {"YGridSpacing", Section::kRulerGrid, true, 0.0},
    {"XGridOrigin", Section::kRulerGrid, true, 0.0},
    {"YGridOrigin", Section::kRulerGrid, true, 0.0},
}};

}  // namespace sv::standin
