#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "standin/model.h"

namespace sv::standin {

inline constexpr std::string_view kDrawingNamespace =
    "http://schemas.microsoft.com/visio/2003/core";

// A drawing as XML in the 2003 XML drawing schema: pages with their sheets' cells and their
// rectangle shapes (position, size, text).
std::string WriteDrawing(const Document& document);
// Pages as read back from WriteDrawing's output or another file of that schema; raises
// sv::Failure, with a lower-case reason to quote inside a message, for anything else.
std::vector<std::shared_ptr<Page>> ReadDrawing(std::string_view xml);
// A saved, unchanged document at fullName holding the drawing's pages.
std::shared_ptr<Document> ReadDocument(std::string_view xml, std::string_view fullName);

// Shapes as carried on the clipboard between processes, with whether they were copied to keep
// their places on the page (visCopyPasteNoTranslate).
struct CopiedShapes {
    std::vector<Shape> shapes;
    bool noTranslate = false;
};
std::string WriteShapes(const std::vector<std::shared_ptr<Shape>>& shapes, bool noTranslate);
CopiedShapes ReadShapes(std::string_view xml);

}  // namespace sv::standin
