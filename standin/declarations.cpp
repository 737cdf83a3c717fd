#include "standin/declarations.h"

#include <algorithm>

namespace sv::standin {
namespace {

using enum Type;

constexpr Param In(std::string_view name, Type type) {
    return {name, type};
}
constexpr Param Opt(std::string_view name, Type type) {
    return {name, type, Need::kOptional};
}

constexpr unsigned kGetPut = kGet | kPut;

// As the Visio 16.0 type library declares them, where it declares them; the rest (DISPIDs from
// 3000) from the reference pages' Syntax and Parameters. Clients look names up: no DISPID here
// is anything to rely on.
constexpr Declaration kTable[] = {
    {"Application", "ActiveDocument", kDispidValue, kGet, kObject, kVoid},
    {"Application", "ActiveWindow", 2, kGet, kObject, kVoid},
    {"Application", "Documents", 4, kGet, kObject, kVoid},
    {"Application", "Quit", 9, kMethod, kVoid, kVoid},
    {"Application", "Visible", 67, kGetPut, kBool, kBool},
    {"Application", "AlertResponse", 50, kGetPut, kI2, kI2},
    {"Application", "WindowHandle32", 19, kGet, kI4, kVoid},
    {"Application", "Version", 14, kGet, kBstr, kVoid},
    {"Application", "Build", 1610743926, kGet, kI4, kVoid},
    {"Application", "ProcessID", 7, kGet, kI4, kVoid},

    {"Documents", "Item", kDispidValue, kGet, kObject, kVoid, {In("NameOrIndex", kVariant)}},
    {"Documents", "Count", 1, kGet, kI2, kVoid},
    {"Documents", "Add", 4, kMethod, kObject, kVoid, {In("FileName", kBstr)}},
    {"Documents", "Open", 5, kMethod, kObject, kVoid, {In("FileName", kBstr)}},
    {"Documents", "_NewEnum", kDispidNewEnum, kGet, kUnknown, kVoid},

    {"Document", "Name", kDispidValue, kGet, kBstr, kVoid},
    {"Document", "Path", 20, kGet, kBstr, kVoid},
    {"Document", "FullName", 21, kGet, kBstr, kVoid},
    {"Document", "Pages", 7, kGet, kObject, kVoid},
    {"Document", "SaveAs", 13, kMethod, kI2, kVoid, {In("FileName", kBstr)}},
    {"Document", "Save", 12, kMethod, kI2, kVoid},
    {"Document", "Saved", 1610743922, kGetPut, kBool, kBool},
    {"Document", "TimeEdited", 1610743990, kGet, kDate, kVoid},
    {"Document", "Index", 4, kGet, kI2, kVoid},
    {"Document", "Close", 3001, kMethod, kVoid, kVoid},

    {"Pages", "Item", kDispidValue, kGet, kObject, kVoid, {In("NameOrIndex", kVariant)}},
    {"Pages", "Count", 1, kGet, kI2, kVoid},
    {"Pages", "Add", 4, kMethod, kObject, kVoid},
    {"Pages", "_NewEnum", kDispidNewEnum, kGet, kUnknown, kVoid},

    {"Page", "Name", kDispidValue, kGetPut, kBstr, kBstr},
    {"Page", "PageSheet", 20, kGet, kObject, kVoid},
    {"Page", "Paste", 1610743866, kMethod, kVoid, kVoid, {Opt("Flags", kVariant)}},
    {"Page",
     "CreateSelection",
     1610743868,
     kMethod,
     kObject,
     kVoid,
     // IterationMode defaults to 256; a selection here does not iterate.
     {In("SelType", kI4), Opt("IterationMode", kI4), Opt("Data", kVariant)}},
    {"Page", "Document", 13, kGet, kObject, kVoid},
    {"Page", "Shapes", 5, kGet, kObject, kVoid},
    {"Page",
     "DrawRectangle",
     7,
     kMethod,
     kObject,
     kVoid,
     {In("x1", kR8), In("y1", kR8), In("x2", kR8), In("y2", kR8)}},
    {"Page", "Index", 4, kGet, kI2, kVoid},
    // Read/write on its reference page, but the type library gives it no put.
    {"Page", "Background", 11, kGet, kI2, kVoid},
    {"Page", "ID", 42, kGet, kI4, kVoid},

    {"Shapes", "Item", kDispidValue, kGet, kObject, kVoid, {In("NameUIDOrIndex", kVariant)}},
    {"Shapes", "Count", 13, kGet, kI4, kVoid},
    {"Shapes", "_NewEnum", kDispidNewEnum, kGet, kUnknown, kVoid},

    {"Selection", "Item", kDispidValue, kGet, kObject, kVoid, {In("Index", kI4)}},
    {"Selection", "Count", 48, kGet, kI4, kVoid},
    {"Selection", "Copy", 1610743874, kMethod, kVoid, kVoid, {Opt("Flags", kVariant)}},
    {"Selection", "_NewEnum", kDispidNewEnum, kGet, kUnknown, kVoid},

    {"Window", "Document", 5, kGet, kObject, kVoid},
    {"Window", "Page", 39, kGetPut, kVariant, kVariant},
    // A plain put only: no put by reference.
    {"Window", "Selection", 11, kGetPut, kObject, kObject},
    {"Window", "SelectAll", 9, kMethod, kVoid, kVoid},
    {"Window", "DeselectAll", 10, kMethod, kVoid, kVoid},
    // Obsolete and hidden; neither takes an argument.
    {"Window", "Copy", 15, kMethod, kVoid, kVoid},
    {"Window", "Paste", 16, kMethod, kVoid, kVoid},

    // A shape on a page, or a page's sheet.
    {"Shape", "Name", kDispidValue, kGetPut, kBstr, kBstr},
    {"Shape", "Cells", 13, kGet, kObject, kVoid, {In("localeSpecificCellName", kBstr)}},
    {"Shape", "CellsU", 121, kGet, kObject, kVoid, {In("localeIndependentCellName", kBstr)}},
    {"Shape",
     "CellsSRC",
     14,
     kGet,
     kObject,
     kVoid,
     {In("Section", kI2), In("Row", kI2), In("Column", kI2)}},
    {"Shape",
     "GetResults",
     94,
     kMethod,
     kVoid,
     kVoid,
     {In("SRCStream", kI2ArrayRef), In("Flags", kI2), In("UnitsNamesOrCodes", kVariantArrayRef),
      In("resultArray", kVariantArrayRef)}},
    {"Shape",
     "SetResults",
     96,
     kMethod,
     kI2,
     kVoid,
     {In("SRCStream", kI2ArrayRef), In("UnitsNamesOrCodes", kVariantArrayRef),
      In("resultArray", kVariantArrayRef), In("Flags", kI2)}},
    {"Shape", "Copy", 1610743959, kMethod, kVoid, kVoid, {Opt("Flags", kVariant)}},
    {"Shape", "Text", 3001, kGetPut, kBstr, kBstr},
    {"Shape", "ID", 3003, kGet, kI4, kVoid},

    // The default member takes a number only.
    {"Cell", "ResultIU", kDispidValue, kGetPut, kR8, kR8},
    {"Cell", "Name", 13, kGet, kBstr, kVoid},
    {"Cell", "LocalName", 14, kGet, kBstr, kVoid},
    {"Cell", "Formula", 4, kGetPut, kBstr, kBstr},
    {"Cell", "FormulaU", 31, kGetPut, kBstr, kBstr},
};

}  // namespace

size_t Declaration::ParamCount() const {
    return static_cast<size_t>(std::count_if(params.begin(), params.end(),
                                             [](const Param& p) { return p.type != Type::kVoid; }));
}

size_t Declaration::RequiredCount() const {
    return static_cast<size_t>(std::count_if(params.begin(), params.end(), [](const Param& p) {
        return p.type != Type::kVoid && p.need == Need::kRequired;
    }));
}

std::span<const Declaration> Declarations() {
    return kTable;
}

std::span<const Declaration> DeclarationsOf(std::string_view object) {
    std::span<const Declaration> all = kTable;
    auto first = std::find_if(all.begin(), all.end(),
                              [&](const Declaration& d) { return d.object == object; });
    auto last =
        std::find_if(first, all.end(), [&](const Declaration& d) { return d.object != object; });
    return {first, last};
}

}  // namespace sv::standin
