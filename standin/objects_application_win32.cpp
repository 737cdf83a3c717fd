// The application, its documents and its drawing windows.
#include <windows.h>

#include <algorithm>
#include <string>

#include "common/failure.h"
#include "common/text_win32.h"
#include "standin/drawing_file.h"
#include "standin/files_win32.h"
#include "standin/host_win32.h"
#include "standin/objects_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

void SettleUnsaved(Host& host, Document& document, std::string_view closing) {
    if (document.saved()) {
        return;
    }
    long answer = host.alertResponse();
    if (answer == 0) {
        answer = host.Ask(L"Save changes to \"" + sv::win32::Widen(document.name()) +
                          L"\" before closing?");
    }
    if (answer == IDYES && !document.path().empty()) {
        WriteWholeFile(document.FullName(), WriteDrawing(document));
        document.MarkSaved();
    } else if (answer != IDYES && answer != IDNO) {
        throw Failure(std::string(closing) + " was cancelled.");
    }
}

namespace {

class ApplicationObject : public DispatchObject {
  public:
    explicit ApplicationObject(Host& host) : DispatchObject(host, "Application") {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        Session& session = host().session();
        if (Is(m, "ActiveDocument")) {
            auto document = session.ActiveDocument();
            call.ReturnObject(document ? NewDocument(host(), document) : nullptr);
        } else if (Is(m, "ActiveWindow")) {
            auto window = session.ActiveWindow();
            call.ReturnObject(window ? NewWindow(host(), window) : nullptr);
        } else if (Is(m, "Documents")) {
            call.ReturnObject(NewDocuments(host()));
        } else if (Is(m, "Quit")) {
            for (const auto& document : host().session().documents()) {
                SettleUnsaved(host(), *document, "Quit");
            }
            host().Quit();
        } else if (Is(m, "Visible")) {
            if (call.IsPut()) {
                host().SetVisible(call.PutValue().Bool());
            } else {
                call.ReturnBool(host().visible());
            }
        } else if (Is(m, "AlertResponse")) {
            if (call.IsPut()) {
                host().SetAlertResponse(call.PutValue().I2());
            } else {
                call.ReturnInteger(host().alertResponse());
            }
        } else if (Is(m, "WindowHandle32")) {
            call.ReturnInteger(static_cast<long>(reinterpret_cast<LONG_PTR>(host().window())));
        } else if (Is(m, "Version")) {
            call.ReturnText("1.0");
        } else if (Is(m, "Build")) {
            call.ReturnInteger(1);
        } else if (Is(m, "ProcessID")) {
            call.ReturnInteger(host().ReportedProcessId());
        } else {
            throw OutsideDeclaration{};
        }
    }
};

class DocumentsObject : public DispatchObject {
  public:
    explicit DocumentsObject(Host& host) : DispatchObject(host, "Documents") {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        Session& session = host().session();
        if (Is(m, "Item")) {
            call.ReturnObject(NewDocument(
                host(), PickItem(session.documents(), KeyOf(call[0]),
                                 [](const Document& d, const std::string& n) {
                                     return SameName(d.name(), n) || SameName(d.FullName(), n);
                                 })));
        } else if (Is(m, "Count")) {
            call.ReturnInteger(static_cast<long>(session.documents().size()));
        } else if (Is(m, "Add")) {
            const std::string templateName = call[0].Text();
            if (!templateName.empty()) {
                throw Failure("The template '" + templateName + "' is not available.");
            }
            call.ReturnObject(NewDocument(host(), session.AddDrawing()));
        } else if (Is(m, "Open")) {
            call.ReturnObject(NewDocument(host(), Open(CanonicalPath(call[0].Text()))));
        } else if (Is(m, "_NewEnum")) {
            call.ReturnEnumerator(
                NewEnumerator(host(), session.documents(),
                              [&](const Ptr<Document>& d) { return NewDocument(host(), d); }));
        } else {
            throw OutsideDeclaration{};
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
        : DispatchObject(host, "Window"), window_(std::move(window)) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        Window& w = *window_;
        if (Is(m, "Page")) {
            if (call.IsPut()) {
                ShowPage(call.PutValue().Value());
            } else {
                call.ReturnObject(w.page ? NewPage(host(), w.document, w.page) : nullptr);
            }
        } else if (Is(m, "Selection")) {
            if (call.IsPut()) {
                Select(call.PutValue().Object());
            } else {
                call.ReturnObject(NewSelection(host(), w.document, w.page, w.selection));
            }
        } else if (Is(m, "SelectAll")) {
            w.selection = w.page ? w.page->shapes : std::vector<Ptr<Shape>>{};
        } else if (Is(m, "DeselectAll")) {
            w.selection.clear();
        } else if (Is(m, "Copy")) {
            // What the user interface's Copy does: nothing asks the shapes to keep their places.
            CopyToClipboard(host(), w.selection, 0);
        } else if (Is(m, "Paste")) {
            if (!w.page) {
                throw Failure("Requested operation is presently disabled.");
            }
            PasteOnto(host(), *w.document, *w.page, 0);
        } else if (Is(m, "Document")) {
            call.ReturnObject(NewDocument(host(), w.document));
        } else {
            throw OutsideDeclaration{};
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
    void Select(IDispatch* object) {
        const auto selection = SelectionOf(host(), object);
        if (!selection) {
            throw Failure("Type mismatch: a Selection object is needed.");
        }
        const auto& shown = window_->page;
        const bool onPage =
            selection->page == shown &&
            std::all_of(selection->shapes.begin(), selection->shapes.end(),
                        [&](const Ptr<Shape>& s) {
                            return std::find(shown->shapes.begin(), shown->shapes.end(), s) !=
                                   shown->shapes.end();
                        });
        if (!onPage) {
            throw Failure("The selection is not of shapes on the page this window shows.");
        }
        window_->selection = selection->shapes;
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

}  // namespace

IDispatch* NewApplication(Host& host) {
    return new ApplicationObject(host);
}

IDispatch* NewDocuments(Host& host) {
    return new DocumentsObject(host);
}

IDispatch* NewWindow(Host& host, Ptr<Window> window) {
    return new WindowObject(host, std::move(window));
}

}  // namespace sv::standin::win32
