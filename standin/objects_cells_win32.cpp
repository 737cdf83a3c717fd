// The cells of a page's sheet or of a shape: one at a time, or many in one call.
#include <cmath>
#include <optional>
#include <type_traits>
#include <vector>
#include <new>
#include <string>
#include <utility>

#include "common/failure.h"
#include "common/com_win32.h"
#include "standin/host_win32.h"
#include "standin/objects_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::Variant;

namespace {

// Where one cell's value lives: a cell of a page's sheet, or a value its shape holds.
class CellPlace {
  public:
    CellPlace(const CellOwner& owner, const CellInfo& info)
        : info_(info),
          cell_(owner.page ? owner.page->sheet.Find(&info) : nullptr),
          value_(owner.page ? nullptr : &owner.shape->Value(info)) {}

    Cell Read() const { return cell_ ? *cell_ : Cell{&info_, *value_, {}}; }
    void Write(const Cell& next) {
        if (cell_) {
            *cell_ = next;
        } else {
            *value_ = next.value;
        }
    }

  private:
    const CellInfo& info_;
    Cell* cell_;
    double* value_;
};

std::span<const CellInfo> TableOf(const CellOwner& owner) {
    if (owner.page) {
        return kPageCells;
    }
    return kShapeCells;
}

class CellObject : public DispatchObject {
  public:
    CellObject(Host& host, CellOwner owner, const CellInfo& info)
        : DispatchObject(host, "Cell"), owner_(std::move(owner)), info_(info) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        CellPlace place(owner_, info_);
        Cell next = place.Read();
        if (Is(m, "ResultIU")) {
            if (!call.IsPut()) {
                call.ReturnNumber(next.value);
                return;
            }
            next.SetValue(call.PutValue().R8());
        } else if (Is(m, "Formula") || Is(m, "FormulaU")) {
            if (!call.IsPut()) {
                call.ReturnText(next.Formula());
                return;
            }
            next.SetFormula(call.PutValue().Text());
        } else if (Is(m, "Name")) {
            call.ReturnText(info_.name);
            return;
        } else if (Is(m, "LocalName")) {
            call.ReturnText(NameOf(info_, host().naming()));
            return;
        } else {
            throw OutsideDeclaration{};
        }
        place.Write(next);
        owner_.document->Changed();
    }

  private:
    CellOwner owner_;
    const CellInfo& info_;
};

std::string Indices(long section, long row, long cell) {
    std::string text = "(";
    text += std::to_string(section);
    text += ", ";
    text += std::to_string(row);
    text += ", ";
    text += std::to_string(cell);
    return text + ")";
}

// The elements of a one-dimensional array argument; an array not yet dimensioned has none.
template <class Element>
std::vector<Element> Elements(const Argument& argument) {
    std::vector<Element> items;
    SAFEARRAY* array = argument.Array();
    if (!array) {
        return items;
    }
    if (::SafeArrayGetDim(array) != 1) {
        argument.Refuse();
    }
    LONG low = 0, high = -1;
    ::SafeArrayGetLBound(array, 1, &low);
    ::SafeArrayGetUBound(array, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        Element item{};
        if constexpr (std::is_same_v<Element, Variant>) {
            ::SafeArrayGetElement(array, &i, item.get());
        } else {
            ::SafeArrayGetElement(array, &i, &item);
        }
        items.push_back(std::move(item));
    }
    return items;
}

constexpr short kSectionInval = 255;

// Inches per unit of a UnitsNamesOrCodes entry; internal units are inches.
double InchesPerUnit(const VARIANT& unit) {
    if (unit.vt == VT_BSTR) {
        std::string name = VariantText(unit);
        for (std::string_view inch : {"in", "in.", "inch", "inches", "i", "\""}) {
            if (SameName(name, inch)) {
                return 1;
            }
        }
        for (std::string_view mm : {"mm", "millimeters", "millimetres"}) {
            if (SameName(name, mm)) {
                return 1 / 25.4;
            }
        }
        throw Failure("'" + name + "' is not a unit of measure.");
    }
    const double code = VariantNumber(unit);
    // visNumber and visInches: internal units.
    if (code == 32 || code == 65) {
        return 1;
    }
    throw Failure("Unit code " + FormatNumber(code) + " is not supported.");
}

// For each of count entries, inches per unit: an empty entry repeats the last non-empty one
// before it, and with none the entry is in internal units.
std::vector<double> UnitFactors(const std::vector<Variant>& units, size_t count) {
    std::vector<double> factors(count, 1.0);
    double last = 1.0;
    for (size_t i = 0; i < count; ++i) {
        if (i < units.size() && units[i].get()->vt != VT_EMPTY) {
            last = InchesPerUnit(*units[i].get());
        }
        factors[i] = last;
    }
    return factors;
}

size_t EntryCount(const std::vector<short>& stream) {
    if (stream.empty() || stream.size() % 3 != 0) {
        throw Failure("The cell stream must hold three indices for each cell.");
    }
    return stream.size() / 3;
}

// The cell of entry k of a stream; nothing for an entry marked to be skipped.
std::optional<CellPlace> EntryCell(Host& host, const CellOwner& owner,
                                   const std::vector<short>& stream, size_t k) {
    const short section = stream[3 * k];
    if ((section & 0xFF) == kSectionInval) {
        return std::nullopt;
    }
    const CellInfo* info = FindCell(TableOf(owner), section, stream[3 * k + 1], stream[3 * k + 2]);
    if (!info) {
        throw Failure("Cell " + Indices(section, stream[3 * k + 1], stream[3 * k + 2]) +
                      " does not exist.");
    }
    host.CellReached(*info);
    return CellPlace(owner, *info);
}

// One entry of GetResults as flags ask for it.
Variant ResultOf(const Cell& cell, long flags, double unitFactor) {
    const double value = cell.value / (cell.info->inches ? unitFactor : 1.0);
    Variant result;
    VARIANT& r = *result.get();
    switch (flags) {
        case 0:
            r.vt = VT_R8;
            r.dblVal = value;
            break;
        case 1:
        case 2:
            r.vt = VT_I4;
            r.lVal = static_cast<LONG>(flags == 1 ? std::trunc(value) : std::round(value));
            break;
        case 3:
            r.vt = VT_BSTR;
            r.bstrVal = sv::win32::Bstr(FormatNumber(value)).release();
            break;
        default:
            r.vt = VT_BSTR;
            r.bstrVal = sv::win32::Bstr(cell.Formula()).release();
            break;
    }
    return result;
}

}  // namespace

IDispatch* NewCell(Host& host, const CellOwner& owner, const Declaration& member,
                   const Call& call) {
    const CellInfo* info = nullptr;
    std::string described;
    if (Is(member, "CellsSRC")) {
        const short section = call[0].I2();
        const short row = call[1].I2();
        const short cell = call[2].I2();
        info = FindCell(TableOf(owner), section, row, cell);
        described = Indices(section, row, cell);
    } else {
        described = call[0].Text();
        info = FindCell(TableOf(owner), described,
                        Is(member, "CellsU") ? Naming::kUniversal : host.naming());
        described = "'" + described + "'";
    }
    if (!info) {
        throw Failure("Cell " + described + " does not exist.");
    }
    host.CellReached(*info);
    return new CellObject(host, owner, *info);
}

void GetResults(Host& host, const CellOwner& owner, const Call& call) {
    const std::vector<short> stream = Elements<short>(call[0]);
    const long flags = call[1].I2();
    const std::vector<Variant> units = Elements<Variant>(call[2]);
    SAFEARRAY*& out = call[3].Array();
    if (flags < 0 || flags > 5) {
        throw Failure("Flags " + std::to_string(flags) + " are not valid for GetResults.");
    }
    const size_t count = EntryCount(stream);
    const std::vector<double> factors = UnitFactors(units, count);
    // Every entry is read before anything is returned: one failing entry fails the call.
    std::vector<Variant> results;
    for (size_t k = 0; k < count; ++k) {
        auto place = EntryCell(host, owner, stream, k);
        results.push_back(place ? ResultOf(place->Read(), flags, factors[k]) : Variant());
    }
    sv::win32::UniqueSafeArray array(
        ::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count)));
    if (!array) {
        throw std::bad_alloc();
    }
    for (LONG k = 0; k < static_cast<LONG>(count); ++k) {
        ::SafeArrayPutElement(array.get(), &k, results[static_cast<size_t>(k)].get());
    }
    if (out) {
        ::SafeArrayDestroy(out);
    }
    out = array.release();
}

// Sets the entries in order; an entry that fails stops the call with the ones before it set.
long SetResults(Host& host, const CellOwner& owner, const Call& call) {
    constexpr long kSetFormulas = 1;
    const std::vector<short> stream = Elements<short>(call[0]);
    const std::vector<Variant> units = Elements<Variant>(call[1]);
    const std::vector<Variant> values = Elements<Variant>(call[2]);
    const long flags = call[3].I2();
    const size_t count = EntryCount(stream);
    if (values.size() < count) {
        throw Failure("The result array holds fewer entries than the cell stream.");
    }
    const std::vector<double> factors = UnitFactors(units, count);
    long processed = 0;
    for (size_t k = 0; k < count; ++k) {
        if (auto place = EntryCell(host, owner, stream, k)) {
            Cell next = place->Read();
            if (flags & kSetFormulas) {
                next.SetFormula(VariantText(*values[k].get()));
            } else {
                next.SetValue(VariantNumber(*values[k].get()) *
                              (next.info->inches ? factors[k] : 1.0));
            }
            place->Write(next);
            owner.document->Changed();
        }
        ++processed;
    }
    return processed;
}

}  // namespace sv::standin::win32
