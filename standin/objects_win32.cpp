#include "standin/objects_win32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "common/failure.h"
#include "common/text_win32.h"
#include "standin/dispatch_win32.h"
#include "standin/drawing_file.h"
#include "standin/files_win32.h"
#include "standin/host_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::ComPtr;

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

class CellObject : public DispatchObject {
  public:
    CellObject(Host& host, Ptr<Document> document, Ptr<Page> page, Cell& cell)
        : DispatchObject(host),
          document_(std::move(document)),
          page_(std::move(page)),
          cell_(cell) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Value", DISPID_VALUE}, {"ResultIU", 1}, {"Formula", 2}, {"FormulaU", 3}, {"Name", 4},
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
                    call.ReturnNumber(cell_.value);
                }
                break;
            case 2:
            case 3:
                if (call.IsPut()) {
                    cell_.SetFormula(VariantText(call.PutValue()));
                    document_->Changed();
                } else {
                    call.ReturnText(cell_.Formula());
                }
                break;
            case 4:
                call.RequireGet();
                call.ReturnText(cell_.info->name);
                break;
        }
    }

  private:
    // The default member takes a number or formula text; ResultIU a number only.
    void Set(const VARIANT& v, bool acceptFormula) {
        if (v.vt == VT_BSTR && acceptFormula) {
            cell_.SetFormula(VariantText(v));
        } else {
            cell_.SetValue(VariantNumber(v));
        }
        document_->Changed();
    }

    Ptr<Document> document_;
    Ptr<Page> page_;  // owns the sheet that holds the cell
    Cell& cell_;
};

class PageSheetObject : public DispatchObject {
  public:
    PageSheetObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host), document_(std::move(document)), page_(std::move(page)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Cells", 1, {"localeSpecificCellName"}},
            {"CellsU", 2, {"localeIndependentCellName"}},
        };
        return members;
    }
    void Run(const Member&, Call& call) override {
        // Read-only: a cell is written through the object this returns.
        call.RequireGet();
        Cell& cell = page_->sheet.Get(call.Text(0));
        call.ReturnObject(new CellObject(host(), document_, page_, cell));
    }

  private:
    Ptr<Document> document_;
    Ptr<Page> page_;
};

class ShapeObject : public DispatchObject {
  public:
    ShapeObject(Host& host, Ptr<Document> document, Ptr<Shape> shape)
        : DispatchObject(host), document_(std::move(document)), shape_(std::move(shape)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {{"Text", 1}, {"Name", 2}, {"NameU", 3}, {"ID", 4}};
        return members;
    }
    void Run(const Member& m, Call& call) override {
        switch (m.id) {
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

// A fixed list of shapes: a page's Shapes or a window's Selection.
class ShapeListObject : public DispatchObject {
  public:
    ShapeListObject(Host& host, Ptr<Document> document, Ptr<Page> page,
                    std::vector<Ptr<Shape>> snapshot)
        : DispatchObject(host),
          document_(std::move(document)),
          page_(std::move(page)),
          snapshot_(std::move(snapshot)) {}

  protected:
    std::span<const Member> Members() const override {
        static const Member members[] = {
            {"Item", DISPID_VALUE, {"index"}}, {"Count", 1}, {"_NewEnum", DISPID_NEWENUM}};
        return members;
    }
    void Run(const Member& m, Call& call) override {
        call.RequireGet();
        const auto& shapes = page_ ? page_->shapes : snapshot_;
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
            case DISPID_NEWENUM:
                call.ReturnUnknown(NewEnumerator(host(), shapes, [&](const Ptr<Shape>& s) {
                    return new ShapeObject(host(), document_, s);
                }));
                break;
        }
    }

  private:
    Ptr<Document> document_;
    Ptr<Page> page_;  // live list when set, else the snapshot
    std::vector<Ptr<Shape>> snapshot_;
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
                call.ReturnObject(new ShapeListObject(host(), document_, page_, {}));
                break;
            case 6:
                call.RequireGet();
                Paste();
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

    void Paste() {
        auto xml = host().PastedShapes();
        if (!xml) {
            return;
        }
        std::vector<Shape> shapes;
        try {
            shapes = ReadShapes(*xml);
        } catch (const Failure& e) {
            throw Failure(std::string("The shapes on the clipboard cannot be read (") + e.what() +
                          ").");
        }
        for (const Shape& s : shapes) {
            page_->AddShape(s);
        }
        if (!shapes.empty()) {
            document_->Changed();
        }
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
                WriteWholeFile(fileName, WriteDrawing(*document_));
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
            {"Page", 1},        {"SelectAll", 2}, {"Copy", 3},
            {"DeselectAll", 4}, {"Selection", 5}, {"Document", 6},
        };
        return members;
    }
    void Run(const Member& m, Call& call) override {
        if (m.id != 1) {
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
            case 3: {
                if (w.selection.empty()) {
                    throw Failure("Requested operation is presently disabled.");
                }
                std::string text;
                for (const auto& s : w.selection) {
                    if (!s->text.empty()) {
                        text += (text.empty() ? "" : "\r\n") + s->text;
                    }
                }
                host().CopyShapes(WriteShapes(w.selection), text);
                break;
            }
            case 4:
                w.selection.clear();
                break;
            case 5:
                call.ReturnObject(new ShapeListObject(host(), w.document, nullptr, w.selection));
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
            {"Visible", 5},        {"ProcessID", 6},    {"AlertResponse", 7},
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
                call.ReturnLong(static_cast<long>(::GetCurrentProcessId()));
                break;
            case 7:
                if (call.IsPut()) {
                    host().SetAlertResponse(static_cast<long>(VariantNumber(call.PutValue())));
                } else {
                    call.ReturnLong(host().alertResponse());
                }
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
