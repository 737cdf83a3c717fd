#pragma once

#include <oaidl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "standin/dispatch_win32.h"
#include "standin/model.h"

namespace sv::standin::win32 {

class Host;

template <class T>
using Ptr = std::shared_ptr<T>;

inline bool Is(const Declaration& member, std::string_view name) {
    return member.name == name;
}

// Each returns a new object with one reference. NewApplication gives the object a client gets
// from the class factory or the running object table.
IDispatch* NewApplication(Host& host);
// Before a close or a quit: an unsaved drawing is saved or dropped as AlertResponse says, or as
// the user answers a box when it is 0; the box waits however long that takes. Any other answer
// cancels, and raises.
void SettleUnsaved(Host& host, Document& document, std::string_view closing);
IDispatch* NewDocuments(Host& host);
IDispatch* NewDocument(Host& host, Ptr<Document> document);
IDispatch* NewWindow(Host& host, Ptr<Window> window);
IDispatch* NewPages(Host& host, Ptr<Document> document);
IDispatch* NewPage(Host& host, Ptr<Document> document, Ptr<Page> page);
IDispatch* NewShapes(Host& host, Ptr<Document> document, Ptr<Page> page);
// The shapes of page as they are now, kept however the page changes.
IDispatch* NewSelection(Host& host, Ptr<Document> document, Ptr<Page> page,
                        std::vector<Ptr<Shape>> shapes);
IDispatch* NewShape(Host& host, Ptr<Document> document, Ptr<Shape> shape);
IDispatch* NewPageSheet(Host& host, Ptr<Document> document, Ptr<Page> page);

// What a selection this process handed out holds; nothing for any other object.
struct Selected {
    Ptr<Page> page;
    std::vector<Ptr<Shape>> shapes;
};
std::optional<Selected> SelectionOf(const Host& host, IDispatch* object);

// Whose cells a sheet object reaches: a page's sheet, or a shape on a page.
struct CellOwner {
    Ptr<Document> document;
    Ptr<Page> page;    // set for a page's sheet
    Ptr<Shape> shape;  // set for a shape
};
// Cells, CellsU or CellsSRC, as member names it.
IDispatch* NewCell(Host& host, const CellOwner& owner, const Declaration& member, const Call& call);
// Fills the results array, replacing what it held.
void GetResults(Host& host, const CellOwner& owner, const Call& call);
// Returns how many entries were processed.
long SetResults(Host& host, const CellOwner& owner, const Call& call);

// Copy and Paste flags, an optional VARIANT: 0 when left out.
long FlagsOf(const Argument& flags);
void CopyToClipboard(Host& host, const std::vector<Ptr<Shape>>& shapes, long flags);
void PasteOnto(Host& host, Document& document, Page& page, long flags);

// An Item argument: a number is a 1-based position, text is a name.
struct ItemKey {
    std::optional<long> index;
    std::string name;
};
ItemKey KeyOf(const Argument& item);

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

template <class List, class Make>
IUnknown* NewEnumerator(Host& host, const List& items, Make make) {
    std::vector<sv::win32::ComPtr<IDispatch>> objects;
    for (const auto& item : items) {
        objects.emplace_back(make(item));
    }
    return new ObjectEnumerator(host, std::move(objects));
}

}  // namespace sv::standin::win32
