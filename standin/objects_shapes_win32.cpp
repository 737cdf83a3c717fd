// Shapes and selections, a shape or a page's sheet, and what goes through the clipboard.
#include <string>

#include "common/failure.h"
#include "standin/drawing_file.h"
#include "standin/host_win32.h"
#include "standin/objects_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {
namespace {

constexpr long kCopyPasteNoTranslate = 1;
// What a page's sheet is called among the shapes.
constexpr char kPageSheetName[] = "ThePage";

// A page's Shapes (live), or a Selection: the shapes of one page as they were when it was made.
class ShapeListObject : public DispatchObject {
  public:
    ShapeListObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host, "Shapes"), document_(std::move(document)), page_(std::move(page)) {}
    ShapeListObject(Host& host, Ptr<Document> document, Ptr<Page> page,
                    std::vector<Ptr<Shape>> selected)
        : DispatchObject(host, "Selection"),
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

    Selected selected() const { return {page_, *selection_}; }

  protected:
    void Run(const Declaration& m, Call& call) override {
        const auto& shapes = selection_ ? *selection_ : page_->shapes;
        if (Is(m, "Item")) {
            // A selection's Item takes a position only.
            const ItemKey key = selection_ ? ItemKey{call[0].I4(), {}} : KeyOf(call[0]);
            call.ReturnObject(NewShape(
                host(), document_, PickItem(shapes, key, [](const Shape& s, const std::string& n) {
                    return SameName(s.name, n);
                })));
        } else if (Is(m, "Count")) {
            call.ReturnInteger(static_cast<long>(shapes.size()));
        } else if (Is(m, "Copy")) {
            CopyToClipboard(host(), shapes, FlagsOf(call[0]));
        } else if (Is(m, "_NewEnum")) {
            call.ReturnEnumerator(NewEnumerator(host(), shapes, [&](const Ptr<Shape>& s) {
                return NewShape(host(), document_, s);
            }));
        } else {
            throw OutsideDeclaration{};
        }
    }

  private:
    Ptr<Document> document_;
    Ptr<Page> page_;
    std::optional<std::vector<Ptr<Shape>>> selection_;
};

// A shape on a page, or a page's sheet: a shape with the page's cells, no text and no place.
class ShapeObject : public DispatchObject {
  public:
    ShapeObject(Host& host, CellOwner owner)
        : DispatchObject(host, "Shape"), owner_(std::move(owner)) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        Shape* shape = owner_.shape.get();
        if (Is(m, "Cells") || Is(m, "CellsU") || Is(m, "CellsSRC")) {
            call.ReturnObject(NewCell(host(), owner_, m, call));
        } else if (Is(m, "GetResults")) {
            GetResults(host(), owner_, call);
        } else if (Is(m, "SetResults")) {
            call.ReturnInteger(SetResults(host(), owner_, call));
        } else if (Is(m, "Name")) {
            Text(call, shape ? &shape->name : nullptr, kPageSheetName);
        } else if (Is(m, "Text")) {
            Text(call, shape ? &shape->text : nullptr, "");
        } else if (Is(m, "ID")) {
            call.ReturnInteger(shape ? shape->id : 0);
        } else if (Is(m, "Copy")) {
            if (!shape) {
                throw Failure("Requested operation is presently disabled.");
            }
            CopyToClipboard(host(), {owner_.shape}, FlagsOf(call[0]));
        } else {
            throw OutsideDeclaration{};
        }
    }

  private:
    // A text property of the shape; a page's sheet has a fixed one.
    void Text(Call& call, std::string* text, std::string_view sheetText) {
        if (!call.IsPut()) {
            call.ReturnText(text ? *text : sheetText);
            return;
        }
        if (!text) {
            throw Failure("A page's sheet cannot be changed that way.");
        }
        *text = call.PutValue().Text();
        owner_.document->Changed();
    }

    CellOwner owner_;
};

}  // namespace

IDispatch* NewShapes(Host& host, Ptr<Document> document, Ptr<Page> page) {
    return new ShapeListObject(host, std::move(document), std::move(page));
}

IDispatch* NewSelection(Host& host, Ptr<Document> document, Ptr<Page> page,
                        std::vector<Ptr<Shape>> shapes) {
    return new ShapeListObject(host, std::move(document), std::move(page), std::move(shapes));
}

IDispatch* NewShape(Host& host, Ptr<Document> document, Ptr<Shape> shape) {
    return new ShapeObject(host, {std::move(document), nullptr, std::move(shape)});
}

IDispatch* NewPageSheet(Host& host, Ptr<Document> document, Ptr<Page> page) {
    return new ShapeObject(host, {std::move(document), std::move(page), nullptr});
}

std::optional<Selected> SelectionOf(const Host& host, IDispatch* object) {
    if (!object || !host.IsSelection(object)) {
        return std::nullopt;
    }
    return static_cast<ShapeListObject*>(object)->selected();
}

ItemKey KeyOf(const Argument& item) {
    const VARIANT& v = item.Value();
    if (v.vt == VT_BSTR) {
        return {std::nullopt, VariantText(v)};
    }
    const double n = VariantNumber(v);
    if (n < -2147483648.0 || n > 2147483647.0) {
        throw Failure("The number is out of range.");
    }
    return {static_cast<long>(n), {}};
}

long FlagsOf(const Argument& flags) {
    if (!flags.present()) {
        return 0;
    }
    sv::win32::Variant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&flags.Value()), 0, VT_I4))) {
        flags.Refuse();
    }
    return number.get()->lVal;
}

// The shapes go with whether they were copied to keep their places.
void CopyToClipboard(Host& host, const std::vector<Ptr<Shape>>& shapes, long flags) {
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

// The shapes land centred on the page unless both their copy and this paste asked them to keep
// their places. A clipboard without our shapes pastes nothing.
void PasteOnto(Host& host, Document& document, Page& page, long flags) {
    auto xml = host.PastedShapes();
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
        CentreOn(shapes, page.sheet.Find("PageWidth")->value, page.sheet.Find("PageHeight")->value);
    }
    for (const Shape& s : shapes) {
        page.AddShape(s);
    }
    if (!shapes.empty()) {
        document.Changed();
    }
}

}  // namespace sv::standin::win32
