#include "standin/objects_win32.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "common/failure.h"
#include "common/text_win32.h"
#include "standin/dispatch_win32.h"
#include "standin/drawing_file.h"
#include "standin/files_win32.h"
#include "standin/host_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::ComPtr;
using sv::win32::Variant;

namespace {

template <class T>
using Ptr = std::shared_ptr<T>;

// An Item argument: a number is a 1-based position, text is a name.
struct ItemKey {
    std::optional<long> index;
    std::string name;
};

ItemKey KeyOf(const Call& call) {
    const VARIANT& v = call.At(0);
    if (v.vt == VT_BSTR) {
        return {std::nullopt, VariantText(v)};
    }
    return {call.Integer(0), {}};
}

template <class T, class Named>
Ptr<T> PickItem(const std::vector<Ptr<T>>& items, const ItemKey& key, Named sameName) {
    if (key.index) {
        if (*key.index < 1 || static_cast<size_t>(*key.index) > items.size()) {
            throw Failure("Index " + std::to_string(*key.index) + " is out of range (1 to " +
                          std::to_string(items.size()) + ").");
        }
        return items[static_cast<size_t>(*key.index - 1)];
    }
    for (const auto& item : items) {
        if (sameName(*item, key.name)) {
            return item;
        }
    }
    throw Failure("No item is named '" + key.name + "'.");
}

bool VariantBool(const VARIANT& v) {
    return VariantNumber(v) != 0;
}

IDispatch* NewDocument(Host& host, Ptr<Document> document);
IDispatch* NewWindow(Host& host, Ptr<Window> window);

template <class List, class Make>
IUnknown* NewEnumerator(Host& host, const List& items, Make make) {
    std::vector<ComPtr<IDispatch>> objects;
    for (const auto& item : items) {
        objects.emplace_back(make(item));
    }
    return new ObjectEnumerator(host, std::move(objects));
}

// One cell of a page sheet (cell set) or of a shape (value set); owner keeps either alive.
class CellObject : public DispatchObject {
  public:
    CellObject(Host& host, Ptr<Document> document, std::shared_ptr<void> owner,
               const CellInfo& info, Cell* cell, double* value)
        : DispatchObject(host),
          document_(std::move(document)),
          owner_(std::move(owner)),
          info_(info),
          cell_(cell),
          value_(value) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Value", DISPID_VALUE}, {"ResultIU", 1}, {"Formula", 2},
            {"FormulaU", 3},         {"Name", 4},     {"LocalName", 5},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        switch (m.id) {
            case DISPID_VALUE:
            case 1:
                if (call.IsPut()) {
                    Set(call.PutValue(), m.id == DISPID_VALUE);
                } else {
                    call.ReturnNumber(Current().value);
                }
                break;
            case 2:
            case 3:
                if (call.IsPut()) {
                    Cell next = Current();
                    next.SetFormula(VariantText(call.PutValue()));
                    Store(next);
                } else {
                    call.ReturnText(Current().Formula());
                }
                break;
            case 4:
                call.RequireGet();
                call.ReturnText(info_.name);
                break;
            case 5:
                call.RequireGet();
                call.ReturnText(NameOf(info_, host().naming()));
                break;
        }
    }

  private:
    Cell Current() const { return cell_ ? *cell_ : Cell{&info_, *value_, {}}; }
    void Store(const Cell& next) {
        if (cell_) {
            *cell_ = next;
        } else {
            *value_ = next.value;
        }
        document_->Changed();
    }
    // The default member takes a number or formula text; ResultIU a number only.
    void Set(const VARIANT& v, bool acceptFormula) {
        Cell next = Current();
        if (v.vt == VT_BSTR && acceptFormula) {
            next.SetFormula(VariantText(v));
        } else {
            next.SetValue(VariantNumber(v));
        }
        Store(next);
    }

    Ptr<Document> document_;
    std::shared_ptr<void> owner_;
    const CellInfo& info_;
    Cell* cell_;
    double* value_;
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

// Cells, CellsU and CellsSRC of a sheet whose cells are those of table.
const CellInfo& CellOf(Host& host, const Member& m, const Call& call,
                       std::span<const CellInfo> table) {
    const CellInfo* info = nullptr;
    std::string described;
    if (SameName(m.name, "CellsSRC")) {
        const long section = call.DeclaredInteger(0);
        const long row = call.DeclaredInteger(1);
        const long cell = call.DeclaredInteger(2);
        auto fits = [](long n) { return n >= -32768 && n <= 32767; };
        if (fits(section) && fits(row) && fits(cell)) {
            info = FindCell(table, static_cast<short>(section), static_cast<short>(row),
                            static_cast<short>(cell));
        }
        described = Indices(section, row, cell);
    } else {
        described = call.Text(0);
        info = FindCell(table, described,
                        SameName(m.name, "CellsU") ? Naming::kUniversal : host.naming());
        described = "'" + described + "'";
    }
    if (!info) {
        throw Failure("Cell " + described + " does not exist.");
    }
    host.CellReached(*info);
    return *info;
}

constexpr Member kCellMembers[] = {
    {"Cells", 101, {"localeSpecificCellName"}},
    {"CellsU", 102, {"localeIndependentCellName"}},
    {"CellsSRC", 103, {"Section", "Row", "Column"}},
};

// A SAFEARRAY this process made, destroyed unless handed on.
class OwnedArray {
  public:
    explicit OwnedArray(SAFEARRAY* array) : array_(array) {
        if (!array_) {
            throw std::bad_alloc();
        }
    }
    OwnedArray(OwnedArray&& other) noexcept : array_(other.release()) {}
    OwnedArray& operator=(OwnedArray&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~OwnedArray() { reset(nullptr); }
    SAFEARRAY* get() const { return array_; }
    SAFEARRAY* release() { return std::exchange(array_, nullptr); }

  private:
    void reset(SAFEARRAY* array) {
        if (array_) {
            ::SafeArrayDestroy(array_);
        }
        array_ = array;
    }

    SAFEARRAY* array_;
};

// The one-dimensional array an argument declared as an array of type holds, by reference or
// not; any other argument is refused as of the wrong type.
SAFEARRAY* ArrayArgument(const Call& call, size_t index, VARTYPE type, bool byRefOnly) {
    VARIANT* v = call.Raw(index);
    if (!v) {
        call.At(index);
    }
    SAFEARRAY* array = nullptr;
    if (v->vt == (VT_ARRAY | type) && !byRefOnly) {
        array = v->parray;
    } else if (v->vt == (VT_BYREF | VT_ARRAY | type)) {
        array = v->pparray ? *v->pparray : nullptr;
    } else {
        call.Mismatch(index);
    }
    if (array && ::SafeArrayGetDim(array) != 1) {
        call.Mismatch(index);
    }
    return array;
}

std::vector<short> ShortArray(const Call& call, size_t index) {
    std::vector<short> items;
    if (SAFEARRAY* array = ArrayArgument(call, index, VT_I2, false)) {
        LONG low = 0, high = -1;
        ::SafeArrayGetLBound(array, 1, &low);
        ::SafeArrayGetUBound(array, 1, &high);
        for (LONG i = low; i <= high; ++i) {
            short item = 0;
            ::SafeArrayGetElement(array, &i, &item);
            items.push_back(item);
        }
    }
    return items;
}

std::vector<Variant> VariantArray(const Call& call, size_t index, bool byRefOnly) {
    std::vector<Variant> items;
    if (SAFEARRAY* array = ArrayArgument(call, index, VT_VARIANT, byRefOnly)) {
        LONG low = 0, high = -1;
        ::SafeArrayGetLBound(array, 1, &low);
        ::SafeArrayGetUBound(array, 1, &high);
        for (LONG i = low; i <= high; ++i) {
            Variant item;
            ::SafeArrayGetElement(array, &i, item.get());
            items.push_back(std::move(item));
        }
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

class PageSheetObject : public DispatchObject {
  public:
    PageSheetObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host), document_(std::move(document)), page_(std::move(page)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            kCellMembers[0],
            kCellMembers[1],
            kCellMembers[2],
            {"GetResults", 104, {"SRCStream", "Flags", "UnitsNamesOrCodes", "resultArray"}},
            {"SetResults", 105, {"SRCStream", "UnitsNamesOrCodes", "resultArray", "Flags"}},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        // Read-only: a cell is written through the object Cells returns.
        call.RequireGet();
        switch (m.id) {
            case 104:
                GetResults(call);
                break;
            case 105:
                call.ReturnShort(SetResults(call));
                break;
            default: {
                const CellInfo& info = CellOf(host(), m, call, kPageCells);
                call.ReturnObject(new CellObject(host(), document_, page_, info,
                                                 page_->sheet.Find(&info), nullptr));
                break;
            }
        }
    }

  private:
    // The cell of entry k of a stream; null for an entry marked to be skipped.
    Cell* EntryCell(const std::vector<short>& stream, size_t k) {
        const short section = stream[3 * k];
        if ((section & 0xFF) == kSectionInval) {
            return nullptr;
        }
        const CellInfo* info = FindCell(kPageCells, section, stream[3 * k + 1], stream[3 * k + 2]);
        if (!info) {
            throw Failure("Cell " + Indices(section, stream[3 * k + 1], stream[3 * k + 2]) +
                          " does not exist.");
        }
        host().CellReached(*info);
        return page_->sheet.Find(info);
    }

    static size_t EntryCount(const std::vector<short>& stream) {
        if (stream.empty() || stream.size() % 3 != 0) {
            throw Failure("The cell stream must hold three indices for each cell.");
        }
        return stream.size() / 3;
    }

    void GetResults(Call& call) {
        const std::vector<short> stream = ShortArray(call, 0);
        const long flags = call.DeclaredInteger(1);
        const std::vector<Variant> units = VariantArray(call, 2, false);
        VARIANT* out = call.Raw(3);
        if (!out || out->vt != (VT_BYREF | VT_ARRAY | VT_VARIANT) || !out->pparray) {
            call.Mismatch(3);
        }
        if (flags < 0 || flags > 5) {
            throw Failure("Flags " + std::to_string(flags) + " are not valid for GetResults.");
        }
        const size_t count = EntryCount(stream);
        const std::vector<double> factors = UnitFactors(units, count);
        // Every entry is read before anything is returned: one failing entry fails the call.
        std::vector<Variant> results;
        for (size_t k = 0; k < count; ++k) {
            Variant result;
            if (const Cell* cell = EntryCell(stream, k)) {
                const double value = cell->value / (cell->info->inches ? factors[k] : 1.0);
                VARIANT& r = *result.get();
                switch (flags) {
                    case 0:
                        r.vt = VT_R8;
                        r.dblVal = value;
                        break;
                    case 1:
                    case 2:
                        r.vt = VT_I4;
                        r.lVal =
                            static_cast<LONG>(flags == 1 ? std::trunc(value) : std::round(value));
                        break;
                    case 3:
                        r.vt = VT_BSTR;
                        r.bstrVal = sv::win32::Bstr(FormatNumber(value)).release();
                        break;
                    default:
                        r.vt = VT_BSTR;
                        r.bstrVal = sv::win32::Bstr(cell->Formula()).release();
                        break;
                }
            }
            results.push_back(std::move(result));
        }
        OwnedArray array(::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count)));
        for (LONG k = 0; k < static_cast<LONG>(count); ++k) {
            ::SafeArrayPutElement(array.get(), &k, results[static_cast<size_t>(k)].get());
        }
        if (*out->pparray) {
            ::SafeArrayDestroy(*out->pparray);
        }
        *out->pparray = array.release();
    }

    // Sets the entries in order; an entry that fails stops the call with the ones before it
    // set. Returns how many were processed.
    short SetResults(Call& call) {
        constexpr long kSetFormulas = 1;
        const std::vector<short> stream = ShortArray(call, 0);
        const std::vector<Variant> units = VariantArray(call, 1, false);
        const std::vector<Variant> values = VariantArray(call, 2, false);
        const long flags = call.DeclaredInteger(3);
        const size_t count = EntryCount(stream);
        if (values.size() < count) {
            throw Failure("The result array holds fewer entries than the cell stream.");
        }
        const std::vector<double> factors = UnitFactors(units, count);
        short processed = 0;
        for (size_t k = 0; k < count; ++k) {
            if (Cell* cell = EntryCell(stream, k)) {
                Cell next = *cell;
                if (flags & kSetFormulas) {
                    next.SetFormula(VariantText(*values[k].get()));
                } else {
                    next.SetValue(VariantNumber(*values[k].get()) *
                                  (cell->info->inches ? factors[k] : 1.0));
                }
                *cell = next;
                document_->Changed();
            }
            ++processed;
        }
        return processed;
    }

    Ptr<Document> document_;
    Ptr<Page> page_;
};

class ShapeObject : public DispatchObject {
  public:
    ShapeObject(Host& host, Ptr<Document> document, Ptr<Shape> shape)
        : DispatchObject(host), document_(std::move(document)), shape_(std::move(shape)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Text", 1},     {"Name", 2},     {"NameU", 3},    {"ID", 4},
            kCellMembers[0], kCellMembers[1], kCellMembers[2],
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        switch (m.id) {
            case 101:
            case 102:
            case 103: {
                call.RequireGet();
                const CellInfo& info = CellOf(host(), m, call, kShapeCells);
                call.ReturnObject(
                    new CellObject(host(), document_, shape_, info, nullptr, &shape_->Value(info)));
                break;
            }
            case 1:
                if (call.IsPut()) {
                    shape_->text = VariantText(call.PutValue());
                    document_->Changed();
                } else {
                    call.ReturnText(shape_->text);
                }
                break;
            case 2:
            case 3:
                if (call.IsPut()) {
                    shape_->name = VariantText(call.PutValue());
                    document_->Changed();
                } else {
                    call.ReturnText(shape_->name);
                }
                break;
            case 4:
                call.RequireGet();
                call.ReturnLong(shape_->id);
                break;
        }
    }

  private:
    Ptr<Document> document_;
    Ptr<Shape> shape_;
};

// Puts the shapes on the clipboard, with whether they were copied to keep their places.
void CopyToClipboard(Host& host, const std::vector<Ptr<Shape>>& shapes, long flags) {
    constexpr long kCopyPasteNoTranslate = 1;
    if (shapes.empty()) {
        throw Failure("Requested operation is presently disabled.");
    }
    std::string text;
    for (const auto& s : shapes) {
        if (!s->text.empty()) {
            text += (text.empty() ? "" : "\r\n") + s->text;
        }
    }
    host.CopyShapes(WriteShapes(shapes, (flags & kCopyPasteNoTranslate) != 0), text);
}

long OptionalFlags(const Call& call, size_t index) {
    return call.Has(index) ? call.DeclaredInteger(index) : 0;
}

// A page's Shapes (live), or a Selection: the shapes of one page as they were when it was made.
class ShapeListObject : public DispatchObject {
  public:
    // A page's Shapes.
    ShapeListObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host), document_(std::move(document)), page_(std::move(page)) {}
    // A Selection of shapes on page.
    ShapeListObject(Host& host, Ptr<Document> document, Ptr<Page> page,
                    std::vector<Ptr<Shape>> selected)
        : DispatchObject(host),
          document_(std::move(document)),
          page_(std::move(page)),
          selection_(std::move(selected)) {
        host.AddSelection(this);
    }
    ~ShapeListObject() override {
        if (selection_) {
            host().RemoveSelection(this);
        }
    }

    const Ptr<Page>& page() const { return page_; }
    const std::vector<Ptr<Shape>>& selected() const { return *selection_; }

  protected:
    std::span<const Member> Members() const override {
        static const Member shapes[] = {
            {"Item", DISPID_VALUE, {"index"}}, {"Count", 1}, {"_NewEnum", DISPID_NEWENUM}};
        static const Member selection[] = {{"Item", DISPID_VALUE, {"index"}},
                                           {"Count", 1},
                                           {"_NewEnum", DISPID_NEWENUM},
                                           {"Copy", 2, {"Flags"}}};
        if (selection_) {
            return selection;
        }
        return shapes;
    }
    void Run(const Member& m, Call& call) override {
        call.RequireGet();
        const auto& shapes = selection_ ? *selection_ : page_->shapes;
        switch (m.id) {
            case DISPID_VALUE:
                call.ReturnObject(new ShapeObject(
                    host(), document_,
                    PickItem(shapes, KeyOf(call), [](const Shape& s, const std::string& n) {
                        return SameName(s.name, n);
                    })));
                break;
            case 1:
                call.ReturnLong(static_cast<long>(shapes.size()));
                break;
            case 2:
                CopyToClipboard(host(), shapes, OptionalFlags(call, 0));
                break;
            case DISPID_NEWENUM:
                call.ReturnUnknown(NewEnumerator(host(), shapes, [&](const Ptr<Shape>& s) {
                    return new ShapeObject(host(), document_, s);
                }));
                break;
        }
    }

  private:
    Ptr<Document> document_;
    Ptr<Page> page_;
    std::optional<std::vector<Ptr<Shape>>> selection_;
};

class PageObject : public DispatchObject {
  public:
    PageObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host), document_(std::move(document)), page_(std::move(page)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Name", 1},
            {"NameU", 2},
            {"Background", 3},
            {"PageSheet", 4},
            {"Shapes", 5},
            {"Paste", 6, {"Flags"}},
            {"DrawRectangle", 7, {"xBegin", "yBegin", "xEnd", "yEnd"}},
            {"Index", 8},
            {"Document", 9},
            {"ID", 10},
            {"CreateSelection", 11, {"SelType", "IterationMode", "Data"}},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        switch (m.id) {
            case 1:
            case 2:
                if (call.IsPut()) {
                    Rename(VariantText(call.PutValue()));
                } else {
                    call.ReturnText(page_->name);
                }
                break;
            case 3:
                if (call.IsPut()) {
                    page_->background = VariantBool(call.PutValue());
                    document_->Changed();
                } else {
                    call.ReturnBool(page_->background);
                }
                break;
            case 4:
                call.RequireGet();
                call.ReturnObject(new PageSheetObject(host(), document_, page_));
                break;
            case 5:
                call.RequireGet();
                call.ReturnObject(new ShapeListObject(host(), document_, page_));
                break;
            case 6:
                call.RequireGet();
                Paste(OptionalFlags(call, 0));
                break;
            case 7: {
                call.RequireGet();
                auto shape = page_->DrawRectangle(call.Number(0), call.Number(1), call.Number(2),
                                                  call.Number(3));
                document_->Changed();
                call.ReturnObject(new ShapeObject(host(), document_, shape));
                break;
            }
            case 8:
                call.RequireGet();
                call.ReturnLong(Index());
                break;
            case 9:
                call.RequireGet();
                call.ReturnObject(NewDocument(host(), document_));
                break;
            case 10:
                call.RequireGet();
                call.ReturnLong(page_->id);
                break;
            case 11:
                call.RequireGet();
                call.ReturnObject(CreateSelection(call.DeclaredInteger(0)));
                break;
        }
    }

  private:
    void Rename(const std::string& name) {
        if (name.empty()) {
            throw Failure("A page name cannot be empty.");
        }
        auto other = document_->FindPage(name);
        if (other && other != page_) {
            throw Failure("A page named '" + name + "' already exists.");
        }
        page_->name = name;
        document_->Changed();
    }

    // The shapes land centred on the page unless both their copy and this paste asked them to
    // keep their places.
    void Paste(long flags) {
        constexpr long kCopyPasteNoTranslate = 1;
        auto xml = host().PastedShapes();
        if (!xml) {
            return;
        }
        CopiedShapes copied;
        try {
            copied = ReadShapes(*xml);
        } catch (const Failure& e) {
            throw Failure(std::string("The shapes on the clipboard cannot be read (") + e.what() +
                          ").");
        }
        std::vector<Shape>& shapes = copied.shapes;
        if (!(copied.noTranslate && (flags & kCopyPasteNoTranslate))) {
            CentreOn(shapes, page_->sheet.Find("PageWidth")->value,
                     page_->sheet.Find("PageHeight")->value);
        }
        for (const Shape& s : shapes) {
            page_->AddShape(s);
        }
        if (!shapes.empty()) {
            document_->Changed();
        }
    }

    // visSelTypeEmpty and visSelTypeAll; the other types select by things this application
    // does not have.
    IDispatch* CreateSelection(long type) {
        constexpr long kSelTypeEmpty = 0;
        constexpr long kSelTypeAll = 1;
        if (type != kSelTypeEmpty && type != kSelTypeAll) {
            throw Failure("Invalid parameter.");
        }
        return new ShapeListObject(host(), document_, page_,
                                   type == kSelTypeAll ? page_->shapes : std::vector<Ptr<Shape>>{});
    }

    long Index() const {
        const auto& pages = document_->pages();
        for (size_t i = 0; i < pages.size(); ++i) {
            if (pages[i] == page_) {
                return static_cast<long>(i + 1);
            }
        }
        throw Failure("The page is no longer in its document.");
    }

    Ptr<Document> document_;
    Ptr<Page> page_;
};

class PagesObject : public DispatchObject {
  public:
    PagesObject(Host& host, Ptr<Document> document)
        : DispatchObject(host), document_(std::move(document)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Item", DISPID_VALUE, {"NameOrIndex"}},
                                         {"ItemU", 3, {"NameOrIndex"}},
                                         {"Count", 1},
                                         {"Add", 2},
                                         {"_NewEnum", DISPID_NEWENUM}};
        return members;
    }
    void Run(const Member& m, Call& call) override {
        call.RequireGet();
        switch (m.id) {
            case DISPID_VALUE:
            case 3:
                call.ReturnObject(new PageObject(host(), document_,
                                                 PickItem(document_->pages(), KeyOf(call),
                                                          [](const Page& p, const std::string& n) {
                                                              return SameName(p.name, n);
                                                          })));
                break;
            case 1:
                call.ReturnLong(static_cast<long>(document_->pages().size()));
                break;
            case 2:
                call.ReturnObject(new PageObject(host(), document_, document_->AddPage()));
                break;
            case DISPID_NEWENUM:
                call.ReturnUnknown(NewEnumerator(
                    host(), document_->pages(),
                    [&](const Ptr<Page>& p) { return new PageObject(host(), document_, p); }));
                break;
        }
    }

  private:
    Ptr<Document> document_;
};

class DocumentObject : public DispatchObject {
  public:
    DocumentObject(Host& host, Ptr<Document> document)
        : DispatchObject(host), document_(std::move(document)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Name", 1}, {"Path", 2},  {"FullName", 3}, {"Pages", 4}, {"SaveAs", 5, {"FileName"}},
            {"Save", 6}, {"Saved", 7}, {"Close", 8},    {"Index", 9},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        if (m.id != 7) {
            call.RequireGet();
        }
        switch (m.id) {
            case 1:
                call.ReturnText(document_->name());
                break;
            case 2:
                call.ReturnText(document_->path());
                break;
            case 3:
                call.ReturnText(document_->FullName());
                break;
            case 4:
                call.ReturnObject(new PagesObject(host(), document_));
                break;
            case 5: {
                std::string fileName = CanonicalPath(call.Text(0));
                std::string content = WriteDrawing(*document_);
                auto fault = host().faults().Find(m.name, call.FirstText());
                if (fault && fault->kind == Fault::Kind::Partial) {
                    WriteWholeFile(fileName, content.substr(0, content.size() / 2));
                    throw Failure("Could not save '" + fileName + "': the disk is full.");
                }
                WriteWholeFile(fileName, content);
                document_->SetLocation(fileName);
                document_->MarkSaved();
                break;
            }
            case 6:
                if (document_->path().empty()) {
                    throw Failure("'" + document_->name() +
                                  "' has never been saved: save it with SaveAs and a file name.");
                }
                WriteWholeFile(document_->FullName(), WriteDrawing(*document_));
                document_->MarkSaved();
                break;
            case 7:
                if (call.IsPut()) {
                    if (VariantBool(call.PutValue())) {
                        document_->MarkSaved();
                    } else {
                        document_->Changed();
                    }
                } else {
                    call.ReturnBool(document_->saved());
                }
                break;
            case 8:
                host().session().Close(document_);
                break;
            case 9: {
                const auto& documents = host().session().documents();
                auto it = std::find(documents.begin(), documents.end(), document_);
                if (it == documents.end()) {
                    throw Failure("The document has been closed.");
                }
                call.ReturnLong(static_cast<long>(it - documents.begin() + 1));
                break;
            }
        }
    }

  private:
    Ptr<Document> document_;
};

class DocumentsObject : public DispatchObject {
  public:
    explicit DocumentsObject(Host& host) : DispatchObject(host) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Item", DISPID_VALUE, {"NameOrIndex"}},
                                         {"Count", 1},
                                         {"Add", 2, {"FileName"}},
                                         {"Open", 3, {"FileName"}},
                                         {"_NewEnum", DISPID_NEWENUM}};
        return members;
    }
    void Run(const Member& m, Call& call) override {
        call.RequireGet();
        Session& session = host().session();
        switch (m.id) {
            case DISPID_VALUE:
                call.ReturnObject(NewDocument(
                    host(), PickItem(session.documents(), KeyOf(call),
                                     [](const Document& d, const std::string& n) {
                                         return SameName(d.name(), n) || SameName(d.FullName(), n);
                                     })));
                break;
            case 1:
                call.ReturnLong(static_cast<long>(session.documents().size()));
                break;
            case 2: {
                std::string templateName = call.Has(0) ? call.Text(0) : "";
                if (!templateName.empty()) {
                    throw Failure("The template '" + templateName + "' is not available.");
                }
                call.ReturnObject(NewDocument(host(), session.AddDrawing()));
                break;
            }
            case 3:
                call.ReturnObject(NewDocument(host(), Open(CanonicalPath(call.Text(0)))));
                break;
            case DISPID_NEWENUM:
                call.ReturnUnknown(
                    NewEnumerator(host(), session.documents(),
                                  [&](const Ptr<Document>& d) { return NewDocument(host(), d); }));
                break;
        }
    }

  private:
    Ptr<Document> Open(const std::string& fileName) {
        Session& session = host().session();
        for (const auto& d : session.documents()) {
            if (!d->path().empty() && SameName(d->FullName(), fileName)) {
                session.Activate(d);
                return d;
            }
        }
        return session.AddOpened(LoadDocument(fileName));
    }
};

class WindowObject : public DispatchObject {
  public:
    WindowObject(Host& host, Ptr<Window> window)
        : DispatchObject(host), window_(std::move(window)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Page", 1},        {"SelectAll", 2}, {"Copy", 3, {"Flags"}},
            {"DeselectAll", 4}, {"Selection", 5}, {"Document", 6},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        if (m.id != 1 && m.id != 5) {
            call.RequireGet();
        }
        Window& w = *window_;
        switch (m.id) {
            case 1:
                if (call.IsPut()) {
                    ShowPage(call.PutValue());
                } else if (w.page) {
                    call.ReturnObject(new PageObject(host(), w.document, w.page));
                } else {
                    call.ReturnObject(nullptr);
                }
                break;
            case 2:
                w.selection = w.page ? w.page->shapes : std::vector<Ptr<Shape>>{};
                break;
            case 3:
                CopyToClipboard(host(), w.selection, OptionalFlags(call, 0));
                break;
            case 4:
                w.selection.clear();
                break;
            case 5:
                if (call.IsPut()) {
                    Select(call.PutValue());
                } else {
                    call.ReturnObject(new ShapeListObject(host(), w.document, w.page, w.selection));
                }
                break;
            case 6:
                call.ReturnObject(NewDocument(host(), w.document));
                break;
        }
    }

  private:
    // A page name, or a page object whose name is read back from it.
    void ShowPage(const VARIANT& v) {
        std::string name;
        if (v.vt == VT_DISPATCH && v.pdispVal) {
            name = NameOf(v.pdispVal);
        } else {
            name = VariantText(v);
        }
        auto page = window_->document->FindPage(name);
        if (!page) {
            throw Failure("The page '" + name + "' does not exist in '" +
                          window_->document->name() + "'.");
        }
        window_->Show(page);
    }

    // Only a Selection of this application, of shapes still on the page shown here.
    void Select(const VARIANT& v) {
        if (v.vt != VT_DISPATCH || !v.pdispVal || !host().IsSelection(v.pdispVal)) {
            throw Failure("Type mismatch: a Selection object is needed.");
        }
        const auto& selection = *static_cast<ShapeListObject*>(v.pdispVal);
        const auto& shown = window_->page;
        const bool onPage =
            selection.page() == shown &&
            std::all_of(selection.selected().begin(), selection.selected().end(),
                        [&](const Ptr<Shape>& s) {
                            return std::find(shown->shapes.begin(), shown->shapes.end(), s) !=
                                   shown->shapes.end();
                        });
        if (!onPage) {
            throw Failure("The selection is not of shapes on the page this window shows.");
        }
        window_->selection = selection.selected();
    }

    static std::string NameOf(IDispatch* object) {
        wchar_t name[] = L"Name";
        LPOLESTR names[] = {name};
        DISPID id = DISPID_UNKNOWN;
        DISPPARAMS none{};
        sv::win32::Variant result;
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
            FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  result.get(), nullptr, nullptr))) {
            throw Failure("The object given for Page is not a page.");
        }
        return VariantText(*result.get());
    }

    Ptr<Window> window_;
};

class ApplicationObject : public DispatchObject {
  public:
    explicit ApplicationObject(Host& host) : DispatchObject(host) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"ActiveDocument", 1}, {"ActiveWindow", 2}, {"Documents", 3},     {"Quit", 4},
            {"Visible", 5},        {"ProcessID", 6},    {"AlertResponse", 7}, {"WindowHandle32", 8},
            {"Version", 9},        {"Build", 10},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        if (m.id != 5 && m.id != 7) {
            call.RequireGet();
        }
        Session& session = host().session();
        switch (m.id) {
            case 1: {
                auto document = session.ActiveDocument();
                call.ReturnObject(document ? NewDocument(host(), document) : nullptr);
                break;
            }
            case 2: {
                auto window = session.ActiveWindow();
                call.ReturnObject(window ? NewWindow(host(), window) : nullptr);
                break;
            }
            case 3:
                call.ReturnObject(new DocumentsObject(host()));
                break;
            case 4:
                SettleUnsavedDocuments();
                host().Quit();
                break;
            case 5:
                if (call.IsPut()) {
                    host().SetVisible(VariantBool(call.PutValue()));
                } else {
                    call.ReturnBool(host().visible());
                }
                break;
            case 6:
                call.ReturnLong(host().ReportedProcessId());
                break;
            case 7:
                if (call.IsPut()) {
                    host().SetAlertResponse(static_cast<long>(VariantNumber(call.PutValue())));
                } else {
                    call.ReturnLong(host().alertResponse());
                }
                break;
            case 8:
                call.ReturnLong(static_cast<long>(reinterpret_cast<LONG_PTR>(host().window())));
                break;
            case 9:
                call.ReturnText("1.0");
                break;
            case 10:
                call.ReturnLong(1);
                break;
        }
    }

  private:
    // Before quitting, each unsaved document is saved or dropped as AlertResponse says, or as
    // the user answers when it is 0. The box waits for its answer however long that takes.
    void SettleUnsavedDocuments() {
        const auto documents = host().session().documents();
        for (const auto& document : documents) {
            if (document->saved()) {
                continue;
            }
            long answer = host().alertResponse();
            if (answer == 0) {
                answer = host().Ask(L"Save changes to \"" + sv::win32::Widen(document->name()) +
                                    L"\" before closing?");
            }
            if (answer == IDYES && !document->path().empty()) {
                WriteWholeFile(document->FullName(), WriteDrawing(*document));
                document->MarkSaved();
            } else if (answer != IDYES && answer != IDNO) {
                throw Failure("Quit was cancelled.");
            }
        }
    }
};

IDispatch* NewDocument(Host& host, Ptr<Document> document) {
    return new DocumentObject(host, std::move(document));
}

IDispatch* NewWindow(Host& host, Ptr<Window> window) {
    return new WindowObject(host, std::move(window));
}

}  // namespace

IDispatch* NewApplication(Host& host) {
    return new ApplicationObject(host);
}

}  // namespace sv::standin::win32
