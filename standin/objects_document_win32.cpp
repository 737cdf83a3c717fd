// A document, its pages and one page.
#include <algorithm>
#include <string>

#include "common/failure.h"
#include "standin/drawing_file.h"
#include "standin/files_win32.h"
#include "standin/host_win32.h"
#include "standin/objects_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {
namespace {

class DocumentObject : public DispatchObject {
  public:
    DocumentObject(Host& host, Ptr<Document> document)
        : DispatchObject(host, "Document"), document_(std::move(document)) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        if (Is(m, "Name")) {
            call.ReturnText(document_->name());
        } else if (Is(m, "Path")) {
            call.ReturnText(document_->path());
        } else if (Is(m, "FullName")) {
            call.ReturnText(document_->FullName());
        } else if (Is(m, "Pages")) {
            call.ReturnObject(NewPages(host(), document_));
        } else if (Is(m, "SaveAs")) {
            SaveAs(CanonicalPath(call[0].Text()), call.FirstText());
            call.ReturnInteger(0);
        } else if (Is(m, "Save")) {
            if (document_->path().empty()) {
                throw Failure("'" + document_->name() +
                              "' has never been saved: save it with SaveAs and a file name.");
            }
            WriteWholeFile(document_->FullName(), WriteDrawing(*document_));
            document_->MarkSaved();
            call.ReturnInteger(0);
        } else if (Is(m, "Saved")) {
            if (!call.IsPut()) {
                call.ReturnBool(document_->saved());
            } else if (call.PutValue().Bool()) {
                document_->MarkSaved();
            } else {
                document_->MarkUnsaved();
            }
        } else if (Is(m, "TimeEdited")) {
            call.ReturnDate(document_->timeEdited());
        } else if (Is(m, "Index")) {
            const auto& documents = host().session().documents();
            auto it = std::find(documents.begin(), documents.end(), document_);
            if (it == documents.end()) {
                throw Failure("The document has been closed.");
            }
            call.ReturnInteger(static_cast<long>(it - documents.begin() + 1));
        } else if (Is(m, "Close")) {
            SettleUnsaved(host(), *document_, "Close");
            host().session().Close(document_);
        } else {
            throw OutsideDeclaration{};
        }
    }

  private:
    void SaveAs(const std::string& fileName, const std::optional<std::string>& given) {
        std::string content = WriteDrawing(*document_);
        auto fault = host().faults().Find("SaveAs", given);
        if (fault && fault->kind == Fault::Kind::Partial) {
            WriteWholeFile(fileName, content.substr(0, content.size() / 2));
            throw Failure("Could not save '" + fileName + "': the disk is full.");
        }
        WriteWholeFile(fileName, content);
        document_->SetLocation(fileName);
        document_->MarkSaved();
    }

    Ptr<Document> document_;
};

class PagesObject : public DispatchObject {
  public:
    PagesObject(Host& host, Ptr<Document> document)
        : DispatchObject(host, "Pages"), document_(std::move(document)) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        const auto& pages = document_->pages();
        if (Is(m, "Item")) {
            call.ReturnObject(NewPage(
                host(), document_,
                PickItem(pages, KeyOf(call[0]),
                         [](const Page& p, const std::string& n) { return SameName(p.name, n); })));
        } else if (Is(m, "Count")) {
            call.ReturnInteger(static_cast<long>(pages.size()));
        } else if (Is(m, "Add")) {
            call.ReturnObject(NewPage(host(), document_, document_->AddPage()));
        } else if (Is(m, "_NewEnum")) {
            call.ReturnEnumerator(NewEnumerator(
                host(), pages, [&](const Ptr<Page>& p) { return NewPage(host(), document_, p); }));
        } else {
            throw OutsideDeclaration{};
        }
    }

  private:
    Ptr<Document> document_;
};

class PageObject : public DispatchObject {
  public:
    PageObject(Host& host, Ptr<Document> document, Ptr<Page> page)
        : DispatchObject(host, "Page"), document_(std::move(document)), page_(std::move(page)) {}

  protected:
    void Run(const Declaration& m, Call& call) override {
        if (Is(m, "Name")) {
            if (call.IsPut()) {
                Rename(call.PutValue().Text());
            } else {
                call.ReturnText(page_->name);
            }
        } else if (Is(m, "Background")) {
            // True as an Integer: -1.
            call.ReturnInteger(page_->background ? -1 : 0);
        } else if (Is(m, "PageSheet")) {
            call.ReturnObject(NewPageSheet(host(), document_, page_));
        } else if (Is(m, "Shapes")) {
            call.ReturnObject(NewShapes(host(), document_, page_));
        } else if (Is(m, "Paste")) {
            PasteOnto(host(), *document_, *page_, FlagsOf(call[0]));
        } else if (Is(m, "DrawRectangle")) {
            auto shape =
                page_->DrawRectangle(call[0].R8(), call[1].R8(), call[2].R8(), call[3].R8());
            document_->Changed();
            call.ReturnObject(NewShape(host(), document_, shape));
        } else if (Is(m, "Index")) {
            call.ReturnInteger(Index());
        } else if (Is(m, "Document")) {
            call.ReturnObject(NewDocument(host(), document_));
        } else if (Is(m, "ID")) {
            call.ReturnInteger(page_->id);
        } else if (Is(m, "CreateSelection")) {
            call.ReturnObject(CreateSelection(call[0].I4()));
        } else {
            throw OutsideDeclaration{};
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

    // visSelTypeEmpty and visSelTypeAll; the other types select by things this application
    // does not have.
    IDispatch* CreateSelection(long type) {
        constexpr long kSelTypeEmpty = 0;
        constexpr long kSelTypeAll = 1;
        if (type != kSelTypeEmpty && type != kSelTypeAll) {
            throw Failure("Invalid parameter.");
        }
        return NewSelection(host(), document_, page_,
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

}  // namespace

IDispatch* NewDocument(Host& host, Ptr<Document> document) {
    return new DocumentObject(host, std::move(document));
}

IDispatch* NewPages(Host& host, Ptr<Document> document) {
    return new PagesObject(host, std::move(document));
}

IDispatch* NewPage(Host& host, Ptr<Document> document, Ptr<Page> page) {
    return new PageObject(host, std::move(document), std::move(page));
}

}  // namespace sv::standin::win32
