#include "standin/model.h"

#include <algorithm>
#include <cmath>

#include "common/failure.h"
#include "standin/text.h"

namespace sv::standin {
namespace {

struct UnitFactor {
    std::string_view unit;
    double inches;
};
constexpr UnitFactor kUnits[] = {
    {"in", 1.0},        {"\"", 1.0},        {"inch", 1.0},    {"ft", 12.0},       {"'", 12.0},
    {"mm", 1.0 / 25.4}, {"cm", 1.0 / 2.54}, {"m", 1 / .0254}, {"pt", 1.0 / 72.0},
};

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

std::string Cell::Formula() const {
    if (!formula.empty()) {
        return formula;
    }
    return info && info->inches ? FormatNumber(value) + " in" : FormatNumber(value);
}

void Cell::SetValue(double v) {
    if (!std::isfinite(v)) {
        throw Failure("The value is not a finite number.");
    }
    value = v;
    formula.clear();
}

void Cell::SetFormula(std::string_view text) {
    std::string_view body = TrimRight(text);
    if (!body.empty() && body.front() == '=') {
        body.remove_prefix(1);
    }
    double factor = 1.0;
    for (const UnitFactor& u : kUnits) {
        if (body.size() > u.unit.size() &&
            SameName(body.substr(body.size() - u.unit.size()), u.unit)) {
            std::string_view number = body.substr(0, body.size() - u.unit.size());
            if (ParseNumber(number)) {
                body = number;
                factor = u.inches;
                break;
            }
        }
    }
    auto number = ParseNumber(body);
    if (!number || !std::isfinite(*number * factor)) {
        throw Failure("#NAME? The formula '" + std::string(text) + "' cannot be evaluated.");
    }
    value = *number * factor;
    formula = std::string(TrimRight(text));
}

std::string_view NameOf(const CellInfo& info, Naming naming) {
    return naming == Naming::kLocal ? info.localName : info.name;
}

const CellInfo* FindCell(std::span<const CellInfo> table, std::string_view name, Naming naming) {
    for (const CellInfo& info : table) {
        if (SameName(NameOf(info, naming), name)) {
            return &info;
        }
    }
    return nullptr;
}

const CellInfo* FindCell(std::span<const CellInfo> table, short section, short row, short cell) {
    if (section != kSectionObject) {
        return nullptr;
    }
    for (const CellInfo& info : table) {
        if (info.row == row && info.cell == cell) {
            return &info;
        }
    }
    return nullptr;
}

PageSheet::PageSheet() {
    cells_.reserve(kPageCells.size());
    for (const CellInfo& info : kPageCells) {
        cells_.push_back(Cell{&info, info.initial, {}});
    }
}

Cell* PageSheet::Find(std::string_view name) {
    for (Cell& c : cells_) {
        if (SameName(c.info->name, name)) {
            return &c;
        }
    }
    return nullptr;
}

Cell* PageSheet::Find(const CellInfo* info) {
    for (Cell& c : cells_) {
        if (c.info == info) {
            return &c;
        }
    }
    return nullptr;
}

const Cell* PageSheet::Find(std::string_view name) const {
    return const_cast<PageSheet*>(this)->Find(name);
}

Cell& PageSheet::Get(std::string_view name) {
    if (Cell* c = Find(name)) {
        return *c;
    }
    throw Failure("Cell '" + std::string(name) + "' does not exist.");
}

double& Shape::Value(const CellInfo& info) {
    switch (info.cell) {
        case 0:
            return pinX;
        case 1:
            return pinY;
        case 2:
            return width;
        default:
            return height;
    }
}

void CentreOn(std::vector<Shape>& shapes, double pageWidth, double pageHeight) {
    if (shapes.empty()) {
        return;
    }
    double left = shapes.front().pinX - shapes.front().width / 2;
    double right = left;
    double bottom = shapes.front().pinY - shapes.front().height / 2;
    double top = bottom;
    for (const Shape& s : shapes) {
        left = std::min(left, s.pinX - s.width / 2);
        right = std::max(right, s.pinX + s.width / 2);
        bottom = std::min(bottom, s.pinY - s.height / 2);
        top = std::max(top, s.pinY + s.height / 2);
    }
    const double dx = pageWidth / 2 - (left + right) / 2;
    const double dy = pageHeight / 2 - (bottom + top) / 2;
    for (Shape& s : shapes) {
        s.pinX += dx;
        s.pinY += dy;
    }
}

std::shared_ptr<Shape> Page::AddShape(const Shape& from) {
    auto shape = std::make_shared<Shape>(from);
    shape->id = ++lastShapeId;
    shape->name = "Sheet." + std::to_string(shape->id);
    shapes.push_back(shape);
    return shape;
}

std::shared_ptr<Shape> Page::DrawRectangle(double x1, double y1, double x2, double y2) {
    Shape s;
    s.pinX = (x1 + x2) / 2;
    s.pinY = (y1 + y2) / 2;
    s.width = std::fabs(x2 - x1);
    s.height = std::fabs(y2 - y1);
    return AddShape(s);
}

std::shared_ptr<Shape> Page::FindShape(std::string_view shapeName) const {
    for (const auto& s : shapes) {
        if (SameName(s->name, shapeName)) {
            return s;
        }
    }
    return nullptr;
}

void Document::SetLocation(std::string_view fullName) {
    size_t cut = fullName.find_last_of("\\/");
    if (cut == std::string_view::npos) {
        path_.clear();
        name_ = std::string(fullName);
    } else {
        path_ = std::string(fullName.substr(0, cut + 1));
        name_ = std::string(fullName.substr(cut + 1));
    }
}

std::string Document::UnusedPageName() const {
    size_t n = pages_.size() + 1;
    std::string pageName;
    do {
        pageName = "Page-" + std::to_string(n++);
    } while (FindPage(pageName));
    return pageName;
}

void Document::Changed() {
    saved_ = false;
    if (clock_ && !clock_->frozen && clock_->now) {
        timeEdited_ = clock_->now();
    }
}

void Document::Shown(std::shared_ptr<const EditClock> clock) {
    clock_ = std::move(clock);
    if (clock_ && clock_->now) {
        timeEdited_ = clock_->now();
    }
}

std::shared_ptr<Page> Document::AddPage() {
    auto page = std::make_shared<Page>();
    page->name = UnusedPageName();
    AdoptPage(page);
    return page;
}

void Document::AdoptPage(std::shared_ptr<Page> page) {
    if (page->id <= lastPageId_) {
        page->id = lastPageId_ + 1;
    }
    lastPageId_ = page->id;
    pages_.push_back(std::move(page));
    Changed();
}

std::shared_ptr<Page> Document::FindPage(std::string_view pageName) const {
    for (const auto& p : pages_) {
        if (SameName(p->name, pageName)) {
            return p;
        }
    }
    return nullptr;
}

void Window::Show(std::shared_ptr<Page> p) {
    page = std::move(p);
    selection.clear();
}

std::shared_ptr<Document> Session::AddDrawing() {
    auto document = std::make_shared<Document>("Drawing" + std::to_string(++drawingCount_));
    document->AddPage();
    document->MarkSaved();
    return Show(document);
}

std::shared_ptr<Document> Session::AddOpened(std::shared_ptr<Document> document) {
    return Show(std::move(document));
}

Session::Session(EditClock clock) : clock_(std::make_shared<const EditClock>(std::move(clock))) {}

std::shared_ptr<Document> Session::Show(std::shared_ptr<Document> document) {
    document->Shown(clock_);
    documents_.push_back(document);
    auto window = std::make_shared<Window>();
    window->document = document;
    if (!document->pages().empty()) {
        window->page = document->pages().front();
    }
    windows_.push_back(window);
    return document;
}

void Session::Close(const std::shared_ptr<Document>& document) {
    std::erase(documents_, document);
    std::erase_if(windows_, [&](const auto& w) { return w->document == document; });
}

void Session::Activate(const std::shared_ptr<Document>& document) {
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const auto& w) { return w->document == document; });
    if (it != windows_.end()) {
        std::rotate(it, it + 1, windows_.end());
    }
}

std::shared_ptr<Window> Session::ActiveWindow() const {
    return windows_.empty() ? nullptr : windows_.back();
}

std::shared_ptr<Document> Session::ActiveDocument() const {
    auto w = ActiveWindow();
    return w ? w->document : nullptr;
}

}  // namespace sv::standin
