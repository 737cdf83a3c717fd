#pragma once

#include <array>
#include <string_view>

namespace sv::standin {

// The page-sheet section a cell is written under in a saved drawing.
enum class Section { kPageProps, kPageLayout, kRulerGrid };

// Indices of the type library: every cell here is in the object section, in one of these rows.
inline constexpr short kSectionObject = 1;
inline constexpr short kRowXFormOut = 1;
inline constexpr short kRowPage = 10;
inline constexpr short kRowRulerGrid = 18;
inline constexpr short kRowPageLayout = 24;

struct CellInfo {
    std::string_view name;       // universal
    std::string_view localName;  // what an installation in another language calls it
    Section section;
    bool inches;  // a length, saved with Unit="IN"
    double initial;
    short row;
    short cell;
};

// Every cell a new page's sheet holds, with the value a new US Letter page starts with.
inline constexpr std::array<CellInfo, 43> kPageCells{{
    {"PageWidth", "FolioLargo", Section::kPageProps, true, 8.5, kRowPage, 0},
    {"PageHeight", "FolioAlto", Section::kPageProps, true, 11.0, kRowPage, 1},
    {"ShdwOffsetX", "UmbroDeiroX", Section::kPageProps, true, 0.125, kRowPage, 2},
    {"ShdwOffsetY", "UmbroDeiroY", Section::kPageProps, true, -0.125, kRowPage, 3},
    {"PageScale", "FolioSkalo", Section::kPageProps, true, 1.0, kRowPage, 4},
    {"DrawingScale", "DesegnoSkalo", Section::kPageProps, true, 1.0, kRowPage, 5},
    {"DrawingSizeType", "DesegnoGrandoTipo", Section::kPageProps, false, 0.0, kRowPage, 6},
    {"DrawingScaleType", "DesegnoSkaloTipo", Section::kPageProps, false, 0.0, kRowPage, 7},
    {"InhibitSnap", "KaptoMalpermo", Section::kPageProps, false, 0.0, kRowPage, 26},
    {"ResizePage", "FolioReformo", Section::kPageLayout, false, 0.0, kRowPageLayout, 0},
    {"EnableGrid", "KradoPermo", Section::kPageLayout, false, 0.0, kRowPageLayout, 1},
    {"DynamicsOff", "DinamikoNe", Section::kPageLayout, false, 0.0, kRowPageLayout, 2},
    {"CtrlAsInput", "KontroloEnigo", Section::kPageLayout, false, 0.0, kRowPageLayout, 3},
    {"PlaceStyle", "LokoStilo", Section::kPageLayout, false, 0.0, kRowPageLayout, 8},
    {"RouteStyle", "VojoStilo", Section::kPageLayout, false, 0.0, kRowPageLayout, 9},
    {"PlaceDepth", "LokoProfundo", Section::kPageLayout, false, 0.0, kRowPageLayout, 10},
    {"PlowCode", "PlugoKodo", Section::kPageLayout, false, 0.0, kRowPageLayout, 11},
    {"LineJumpCode", "LinioSaltoKodo", Section::kPageLayout, false, 1.0, kRowPageLayout, 12},
    {"LineJumpStyle", "LinioSaltoStilo", Section::kPageLayout, false, 0.0, kRowPageLayout, 13},
    {"PageLineJumpDirX", "FolioSaltoDirektoX", Section::kPageLayout, false, 0.0, kRowPageLayout,
     14},
    {"PageLineJumpDirY", "FolioSaltoDirektoY", Section::kPageLayout, false, 0.0, kRowPageLayout,
     15},
    {"LineToNodeX", "LinioNodoX", Section::kPageLayout, true, 0.125, kRowPageLayout, 16},
    {"LineToNodeY", "LinioNodoY", Section::kPageLayout, true, 0.125, kRowPageLayout, 17},
    {"BlockSizeX", "BlokoGrandoX", Section::kPageLayout, true, 0.25, kRowPageLayout, 18},
    {"BlockSizeY", "BlokoGrandoY", Section::kPageLayout, true, 0.25, kRowPageLayout, 19},
    {"AvenueSizeX", "AvenuoGrandoX", Section::kPageLayout, true, 0.375, kRowPageLayout, 20},
    {"AvenueSizeY", "AvenuoGrandoY", Section::kPageLayout, true, 0.375, kRowPageLayout, 21},
    {"LineToLineX", "LinioLinioX", Section::kPageLayout, true, 0.125, kRowPageLayout, 22},
    {"LineToLineY", "LinioLinioY", Section::kPageLayout, true, 0.125, kRowPageLayout, 23},
    {"LineJumpFactorX", "LinioSaltoFaktoroX", Section::kPageLayout, false, 0.66667, kRowPageLayout,
     24},
    {"LineJumpFactorY", "LinioSaltoFaktoroY", Section::kPageLayout, false, 0.66667, kRowPageLayout,
     25},
    {"LineAdjustFrom", "LinioAdaptoDe", Section::kPageLayout, false, 0.0, kRowPageLayout, 26},
    {"LineAdjustTo", "LinioAdaptoAl", Section::kPageLayout, false, 0.0, kRowPageLayout, 27},
    {"XRulerDensity", "XReguloDenso", Section::kRulerGrid, false, 32.0, kRowRulerGrid, 0},
    {"YRulerDensity", "YReguloDenso", Section::kRulerGrid, false, 32.0, kRowRulerGrid, 1},
    {"XRulerOrigin", "XReguloOrigino", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 4},
    {"YRulerOrigin", "YReguloOrigino", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 5},
    {"XGridDensity", "XKradoDenso", Section::kRulerGrid, false, 8.0, kRowRulerGrid, 6},
    {"YGridDensity", "YKradoDenso", Section::kRulerGrid, false, 8.0, kRowRulerGrid, 7},
    {"XGridSpacing", "XKradoSpaco", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 8},
    {"YGridSpacing", "YKradoSpaco", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 9},
    {"XGridOrigin", "XKradoOrigino", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 10},
    {"YGridOrigin", "YKradoOrigino", Section::kRulerGrid, true, 0.0, kRowRulerGrid, 11},
}};

// The cells of a shape's position and size; the shape holds their values.
inline constexpr std::array<CellInfo, 4> kShapeCells{{
    {"PinX", "PinglaX", Section::kPageProps, true, 0.0, kRowXFormOut, 0},
    {"PinY", "PinglaY", Section::kPageProps, true, 0.0, kRowXFormOut, 1},
    {"Width", "Largo", Section::kPageProps, true, 0.0, kRowXFormOut, 2},
    {"Height", "Alto", Section::kPageProps, true, 0.0, kRowXFormOut, 3},
}};

}  // namespace sv::standin
