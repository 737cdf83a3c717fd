#include "standin/drawing_file.h"

#include <algorithm>
#include <cmath>

#include "common/failure.h"
#include "standin/text.h"
#include "standin/xml.h"

namespace sv::standin {
namespace {

constexpr std::string_view kClipboardRoot = "StandinShapes";

std::string_view SectionName(Section s) {
    switch (s) {
        case Section::kPageProps:
            return "PageProps";
        case Section::kPageLayout:
            return "PageLayout";
        case Section::kRulerGrid:
            return "RulerGrid";
    }
    return "PageProps";
}

void WriteSheet(XmlWriter& w, const PageSheet& sheet) {
    w.Open("PageSheet", {{"LineStyle", "0"}, {"FillStyle", "0"}, {"TextStyle", "0"}});
    for (Section section : {Section::kPageProps, Section::kPageLayout, Section::kRulerGrid}) {
        w.Open(SectionName(section));
        for (const Cell& c : sheet.cells()) {
            if (c.info->section != section) {
                continue;
            }
            XmlWriter::Attributes attributes;
            if (c.info->inches) {
                attributes.emplace_back("Unit", "IN");
            }
            if (!c.formula.empty()) {
                attributes.emplace_back("F", c.formula);
            }
            w.Leaf(c.info->name, FormatNumber(c.value), attributes);
        }
        w.Close();
    }
    w.Close();
}

void WriteGeometryRow(XmlWriter& w, std::string_view kind, int row, double x, double y) {
    w.Open(kind, {{"IX", std::to_string(row)}});
    w.Leaf("X", FormatNumber(x));
    w.Leaf("Y", FormatNumber(y));
    w.Close();
}

void WriteShape(XmlWriter& w, const Shape& s) {
    std::string id = std::to_string(s.id);
    w.Open("Shape", {{"ID", id}, {"NameU", s.name}, {"Name", s.name}, {"Type", "Shape"}});
    w.Open("XForm");
    w.Leaf("PinX", FormatNumber(s.pinX));
    w.Leaf("PinY", FormatNumber(s.pinY));
    w.Leaf("Width", FormatNumber(s.width));
    w.Leaf("Height", FormatNumber(s.height));
    w.Leaf("LocPinX", FormatNumber(s.width / 2), {{"F", "Width*0.5"}});
    w.Leaf("LocPinY", FormatNumber(s.height / 2), {{"F", "Height*0.5"}});
    w.Leaf("Angle", "0");
    w.Leaf("FlipX", "0");
    w.Leaf("FlipY", "0");
    w.Leaf("ResizeMode", "0");
    w.Close();
    // The outline, so readers that draw geometry show the rectangle.
    w.Open("Geom", {{"IX", "0"}});
    w.Leaf("NoFill", "0");
    w.Leaf("NoLine", "0");
    w.Leaf("NoShow", "0");
    w.Leaf("NoSnap", "0");
    WriteGeometryRow(w, "MoveTo", 1, 0, 0);
    WriteGeometryRow(w, "LineTo", 2, s.width, 0);
    WriteGeometryRow(w, "LineTo", 3, s.width, s.height);
    WriteGeometryRow(w, "LineTo", 4, 0, s.height);
    WriteGeometryRow(w, "LineTo", 5, 0, 0);
    w.Close();
    if (!s.text.empty()) {
        w.Leaf("Text", s.text);
    }
    w.Close();
}

void WriteShapeList(XmlWriter& w, const std::vector<std::shared_ptr<Shape>>& shapes) {
    w.Open("Shapes");
    for (const auto& s : shapes) {
        WriteShape(w, *s);
    }
    w.Close();
}

double NumberOf(const XmlElement* e, double fallback) {
    if (!e) {
        return fallback;
    }
    auto n = ParseNumber(e->text);
    return n ? *n : fallback;
}

int IntegerAttribute(const XmlElement& e, std::string_view name, int fallback) {
    const std::string* text = e.Attribute(name);
    if (!text) {
        return fallback;
    }
    auto n = ParseNumber(*text);
    return n && *n >= 0 && *n < 1e9 ? static_cast<int>(*n) : fallback;
}

Shape ReadShape(const XmlElement& e) {
    Shape s;
    s.id = IntegerAttribute(e, "ID", 0);
    if (const std::string* name = e.Attribute("Name")) {
        s.name = *name;
    } else if (const std::string* nameU = e.Attribute("NameU")) {
        s.name = *nameU;
    }
    if (const XmlElement* xform = e.Child("XForm")) {
        s.pinX = NumberOf(xform->Child("PinX"), 0);
        s.pinY = NumberOf(xform->Child("PinY"), 0);
        s.width = NumberOf(xform->Child("Width"), 0);
        s.height = NumberOf(xform->Child("Height"), 0);
    }
    if (const XmlElement* text = e.Child("Text")) {
        s.text = text->text;
    }
    return s;
}

std::vector<Shape> ReadShapeList(const XmlElement* shapes) {
    std::vector<Shape> result;
    if (!shapes) {
        return result;
    }
    for (const XmlElement& e : shapes->children) {
        if (e.name == "Shape") {
            result.push_back(ReadShape(e));
        }
    }
    return result;
}

void ReadCells(const XmlElement& e, PageSheet& sheet) {
    for (const XmlElement& child : e.children) {
        if (Cell* cell = sheet.Find(child.name); cell && child.children.empty()) {
            if (auto n = ParseNumber(child.text)) {
                cell->value = *n;
                // Only formulas this application evaluates the same way are kept as text.
                cell->formula.clear();
                if (const std::string* formula = child.Attribute("F")) {
                    Cell probe = *cell;
                    try {
                        probe.SetFormula(*formula);
                        if (std::fabs(probe.value - *n) <= 1e-9 * std::max(1.0, std::fabs(*n))) {
                            cell->formula = probe.formula;
                        }
                    } catch (const Failure&) {
                    }
                }
            }
        } else {
            ReadCells(child, sheet);
        }
    }
}

std::shared_ptr<Page> ReadPage(const XmlElement& e) {
    auto page = std::make_shared<Page>();
    page->id = IntegerAttribute(e, "ID", 0);
    if (const std::string* name = e.Attribute("Name")) {
        page->name = *name;
    } else if (const std::string* nameU = e.Attribute("NameU")) {
        page->name = *nameU;
    }
    const std::string* background = e.Attribute("Background");
    page->background = background && (*background == "1" || SameName(*background, "true"));
    if (const XmlElement* sheet = e.Child("PageSheet")) {
        ReadCells(*sheet, page->sheet);
    }
    for (const Shape& s : ReadShapeList(e.Child("Shapes"))) {
        auto shape = std::make_shared<Shape>(s);
        page->lastShapeId = std::max(page->lastShapeId, s.id);
        page->shapes.push_back(std::move(shape));
    }
    // Shapes without usable ids get fresh ones so every shape name stays distinct.
    for (auto& shape : page->shapes) {
        if (shape->id == 0) {
            shape->id = ++page->lastShapeId;
        }
        if (shape->name.empty()) {
            shape->name = "Sheet." + std::to_string(shape->id);
        }
    }
    return page;
}

}  // namespace

std::string WriteDrawing(const Document& document) {
    XmlWriter w;
    w.Open("VisioDocument", {{"xmlns", std::string(kDrawingNamespace)}, {"xml:space", "preserve"}});
    w.Open("Pages");
    for (const auto& page : document.pages()) {
        XmlWriter::Attributes attributes{
            {"ID", std::to_string(page->id)}, {"NameU", page->name}, {"Name", page->name}};
        if (page->background) {
            attributes.emplace_back("Background", "1");
        }
        w.Open("Page", attributes);
        WriteSheet(w, page->sheet);
        WriteShapeList(w, page->shapes);
        w.Close();
    }
    w.Close();
    w.Close();
    return w.str();
}

std::vector<std::shared_ptr<Page>> ReadDrawing(std::string_view xml) {
    XmlElement root = ParseXml(xml);
    if (root.name != "VisioDocument") {
        throw Failure("its root element is " + root.name + ", not VisioDocument");
    }
    std::vector<std::shared_ptr<Page>> pages;
    if (const XmlElement* list = root.Child("Pages")) {
        for (const XmlElement& e : list->children) {
            if (e.name == "Page") {
                pages.push_back(ReadPage(e));
            }
        }
    }
    return pages;
}

std::shared_ptr<Document> ReadDocument(std::string_view xml, std::string_view fullName) {
    auto document = std::make_shared<Document>("");
    document->SetLocation(fullName);
    for (auto& page : ReadDrawing(xml)) {
        if (page->name.empty() || document->FindPage(page->name)) {
            page->name = document->UnusedPageName();
        }
        document->AdoptPage(std::move(page));
    }
    document->MarkSaved();
    return document;
}

std::string WriteShapes(const std::vector<std::shared_ptr<Shape>>& shapes, bool noTranslate) {
    XmlWriter w;
    XmlWriter::Attributes attributes{{"xmlns", std::string(kDrawingNamespace)},
                                     {"xml:space", "preserve"}};
    if (noTranslate) {
        attributes.emplace_back("NoTranslate", "1");
    }
    w.Open(kClipboardRoot, attributes);
    WriteShapeList(w, shapes);
    w.Close();
    return w.str();
}

CopiedShapes ReadShapes(std::string_view xml) {
    XmlElement root = ParseXml(xml);
    if (root.name != kClipboardRoot) {
        throw Failure("its root element is " + root.name + ", not " + std::string(kClipboardRoot));
    }
    const std::string* noTranslate = root.Attribute("NoTranslate");
    return {ReadShapeList(root.Child("Shapes")), noTranslate && *noTranslate == "1"};
}

}  // namespace sv::standin
