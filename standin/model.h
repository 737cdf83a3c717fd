#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "standin/cells.h"

namespace sv::standin {

// One page-sheet cell. The value is in internal units (inches for lengths); a cell set from a
// formula keeps its text so Formula reads back what was written.
struct Cell {
    const CellInfo* info = nullptr;
    double value = 0;
    std::string formula;

    std::string Formula() const;
    void SetValue(double v);
    // Numbers with an optional unit (in, ", ft, mm, cm, m, pt); anything else is refused.
    void SetFormula(std::string_view text);
};

// How an installation names cells to Cells: as their universal names (English), or in a
// language of its own, whose names differ from every universal one.
enum class Naming { kUniversal, kLocal };

// The name a cell is known by under that naming.
std::string_view NameOf(const CellInfo& info, Naming naming);
// The cell of a table with that name, or with those type-library indices; null when none.
const CellInfo* FindCell(std::span<const CellInfo> table, std::string_view name, Naming naming);
const CellInfo* FindCell(std::span<const CellInfo> table, short section, short row, short cell);

class PageSheet {
  public:
    PageSheet();
    // By universal name.
    Cell* Find(std::string_view name);
    const Cell* Find(std::string_view name) const;
    Cell* Find(const CellInfo* info);
    // Raises for a name the sheet does not have.
    Cell& Get(std::string_view name);
    std::vector<Cell>& cells() { return cells_; }
    const std::vector<Cell>& cells() const { return cells_; }

  private:
    std::vector<Cell> cells_;
};

struct Shape {
    int id = 0;
    std::string name;
    std::string text;
    double pinX = 0;
    double pinY = 0;
    double width = 0;
    double height = 0;

    // Where the shape keeps the value of one of kShapeCells.
    double& Value(const CellInfo& info);
};

// Moves the shapes together so that the box around them is centred on a page of that size.
void CentreOn(std::vector<Shape>& shapes, double pageWidth, double pageHeight);

struct Page {
    int id = 0;
    std::string name;
    bool background = false;
    PageSheet sheet;
    std::vector<std::shared_ptr<Shape>> shapes;
    int lastShapeId = 0;

    // Takes the shape's geometry and text; the page gives it its own id and name.
    std::shared_ptr<Shape> AddShape(const Shape& from);
    std::shared_ptr<Shape> DrawRectangle(double x1, double y1, double x2, double y2);
    std::shared_ptr<Shape> FindShape(std::string_view name) const;
};

// When a change to a document happens, as its TimeEdited gives it: the current time as a DATE,
// or, for an installation that moves it only at save, never (frozen): its drawings then keep the
// time they were created or opened.
struct EditClock {
    std::function<double()> now;
    bool frozen = false;
};

class Document {
  public:
    // A document with no pages; new drawings get their first page from the session.
    explicit Document(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    // Folder with a trailing separator, empty when never saved.
    const std::string& path() const { return path_; }
    std::string FullName() const { return path_ + name_; }
    bool saved() const { return saved_; }
    // Anything of the document changed: unsaved, and edited now.
    void Changed();
    void MarkSaved() { saved_ = true; }
    void MarkUnsaved() { saved_ = false; }
    double timeEdited() const { return timeEdited_; }
    // The clock of the session that shows it; it was created or opened now.
    void Shown(std::shared_ptr<const EditClock> clock);
    // Splits a full file name into folder and name.
    void SetLocation(std::string_view fullName);

    const std::vector<std::shared_ptr<Page>>& pages() const { return pages_; }
    // Appends a page with an unused name.
    std::shared_ptr<Page> AddPage();
    // "Page-N" with N from the page count after an append, skipping names in use.
    std::string UnusedPageName() const;
    // Takes a page as read from a file, keeping its name and id.
    void AdoptPage(std::shared_ptr<Page> page);
    std::shared_ptr<Page> FindPage(std::string_view name) const;

  private:
    std::string name_;
    std::string path_;
    bool saved_ = true;
    std::shared_ptr<const EditClock> clock_;
    double timeEdited_ = 0;
    std::vector<std::shared_ptr<Page>> pages_;
    int lastPageId_ = -1;
};

// A view of one document: the page it shows and what is selected there.
struct Window {
    std::shared_ptr<Document> document;
    std::shared_ptr<Page> page;
    std::vector<std::shared_ptr<Shape>> selection;

    void Show(std::shared_ptr<Page> p);
};

// The open documents and their windows in one process.
class Session {
  public:
    explicit Session(EditClock clock = {});

    // "DrawingN" with one page "Page-1", counted per process; it gets a window and becomes active.
    std::shared_ptr<Document> AddDrawing();
    // A document read from a file; it gets a window and becomes active.
    std::shared_ptr<Document> AddOpened(std::shared_ptr<Document> document);
    void Close(const std::shared_ptr<Document>& document);
    // Brings the document's window to the front.
    void Activate(const std::shared_ptr<Document>& document);

    const std::vector<std::shared_ptr<Document>>& documents() const { return documents_; }
    std::shared_ptr<Window> ActiveWindow() const;
    std::shared_ptr<Document> ActiveDocument() const;

  private:
    std::shared_ptr<Document> Show(std::shared_ptr<Document> document);

    std::shared_ptr<const EditClock> clock_;
    std::vector<std::shared_ptr<Document>> documents_;
    std::vector<std::shared_ptr<Window>> windows_;  // the last one is active
    int drawingCount_ = 0;
};

}  // namespace sv::standin
