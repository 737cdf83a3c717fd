#include "backup/testing/fake_visio.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <type_traits>

#include "backup/page_copy.h"
#include "common/failure.h"

namespace sv::backup::testing {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool Is(std::string_view member, std::string_view name) {
    return Lower(member) == Lower(name);
}

std::string TextArg(const Args& args, std::size_t i) {
    if (i < args.size()) {
        if (const auto* s = std::get_if<std::string>(&args[i])) {
            return *s;
        }
    }
    throw Failure("Type mismatch");
}

int IntArg(const Args& args, std::size_t i) {
    if (i < args.size()) {
        if (const auto* n = std::get_if<std::int32_t>(&args[i])) {
            return *n;
        }
    }
    throw Failure("Type mismatch");
}

[[noreturn]] void Unknown(std::string_view member) {
    throw UnknownMember("Unknown name: " + std::string(member));
}

// Flags, when given, as the optional Integer argument of Copy and Paste.
int FlagsArg(const Args& args) {
    return args.empty() ? 0 : IntArg(args, 0);
}

// The universal name of the cell at (section, row, cell) of a page sheet.
std::string CellAt(const IntegerArray& stream, std::size_t entry) {
    for (const PageCell& cell : kPageCells) {
        if (cell.section == stream.items[3 * entry] && cell.row == stream.items[3 * entry + 1] &&
            cell.cell == stream.items[3 * entry + 2]) {
            return std::string(cell.name);
        }
    }
    throw Failure("Unexpected end of file.");
}

enum class Kind {
    Application,
    Documents,
    Document,
    Pages,
    Page,
    Sheet,
    Cell,
    Window,
    Selection,
    Shapes,
    Shape,      // shapes_ holds its index on page_
    ShapeCell,  // PinX or PinY of that shape
};

class FakeObject : public AutomationObject {
  public:
    FakeObject(std::shared_ptr<FakeInstance> instance, Kind kind,
               std::shared_ptr<FakeDocument> document = nullptr,
               std::shared_ptr<FakePage> page = nullptr, std::string cell = {},
               std::vector<std::size_t> shapes = {})
        : instance_(std::move(instance)),
          kind_(kind),
          document_(std::move(document)),
          page_(std::move(page)),
          cell_(std::move(cell)),
          shapes_(std::move(shapes)) {
        ++instance_->liveObjects;
    }
    ~FakeObject() override { --instance_->liveObjects; }

    Value Get(std::string_view member, const Args& args) override {
        instance_->Enter(member, args);
        if (auto answer = instance_->answers.find(std::string(member));
            answer != instance_->answers.end()) {
            return Value(answer->second);
        }
        return Read(member, args);
    }
    void Put(std::string_view member, const Arg& value) override {
        instance_->Enter(member, {});
        if (kind_ == Kind::Window && Is(member, "Page")) {
            const auto* name = std::get_if<std::string>(&value);
            auto& pages = Active().pages;
            auto it = std::find_if(pages.begin(), pages.end(),
                                   [&](const auto& p) { return name && p->name == *name; });
            if (it == pages.end()) {
                throw Failure("Invalid page name.");
            }
            instance_->shownPage = *it;
            instance_->selection.clear();
            return;
        }
        if (kind_ == Kind::Document && Is(member, "Saved")) {
            document_->saved = BoolArg(value);
            return;
        }
        if (kind_ == Kind::Application && Is(member, "Visible")) {
            instance_->visible = BoolArg(value);
            return;
        }
        if (kind_ == Kind::Application && Is(member, "AlertResponse")) {
            const auto* answer = std::get_if<std::int32_t>(&value);
            if (!answer) {
                throw Failure("Type mismatch");
            }
            instance_->alertResponse = *answer;
            return;
        }
        Unknown(member);
    }
    // A plain put, as the type library declares Window.Selection.
    void PutObject(std::string_view member, AutomationObject& value) override {
        instance_->Enter(member, {});
        auto* selection = dynamic_cast<FakeObject*>(&value);
        if (kind_ == Kind::Window && Is(member, "Selection")) {
            // Only shapes of the page the window shows can be selected in it.
            if (!selection || selection->kind_ != Kind::Selection ||
                selection->page_ != instance_->shownPage) {
                throw Failure("Invalid selection.");
            }
            instance_->selection = selection->shapes_;
            return;
        }
        Unknown(member);
    }
    Value Call(std::string_view member, const Args& args, const NamedArgs& named) override {
        instance_->Enter(member, args);
        switch (kind_) {
            case Kind::Application:
                if (Is(member, "Quit")) {
                    return Quit();
                }
                break;
            case Kind::Document:
                if (Is(member, "SaveAs")) {
                    return SaveAs(named);
                }
                break;
            case Kind::Page:
                if (Is(member, "Paste")) {
                    return Paste(FlagsArg(args));
                }
                if (Is(member, "DrawRectangle")) {
                    auto corner = [&](std::size_t i) { return std::get<double>(args.at(i)); };
                    page_->shapes.push_back(
                        {"rectangle", (corner(0) + corner(2)) / 2, (corner(1) + corner(3)) / 2});
                    document_->saved = false;
                    return Make(Kind::Shape, document_, page_, {}, {page_->shapes.size() - 1});
                }
                if (Is(member, "CreateSelection")) {
                    if (IntArg(args, 0) != kSelTypeAll) {
                        throw Failure("Invalid parameter.");
                    }
                    return Make(Kind::Selection, document_, page_, {}, AllOf(*page_));
                }
                break;
            case Kind::Window:
                if (Is(member, "SelectAll")) {
                    instance_->selection =
                        instance_->shownPage ? AllOf(*instance_->shownPage) : Indices{};
                    return {};
                }
                if (Is(member, "DeselectAll")) {
                    instance_->selection.clear();
                    return {};
                }
                if (Is(member, "Copy")) {
                    // Obsolete, and without the flag that keeps the shapes in their places.
                    if (!args.empty()) {
                        throw Failure("Invalid number of parameters.");
                    }
                    CopyShapes(instance_->shownPage, instance_->selection, 0);
                    return {};
                }
                break;
            case Kind::Selection:
                if (Is(member, "Copy")) {
                    CopyShapes(page_, shapes_, FlagsArg(args));
                    return {};
                }
                break;
            default:
                break;
        }
        return Read(member, args);
    }
    Value CallWithArrays(std::string_view member, Args& args) override {
        instance_->Enter(member, args);
        if (kind_ == Kind::Sheet && Is(member, "GetResults")) {
            return GetResults(args);
        }
        if (kind_ == Kind::Sheet && Is(member, "SetResults")) {
            return SetResults(args);
        }
        Unknown(member);
    }
    Value GetDefault() override {
        instance_->Enter("Value", {});
        if (kind_ == Kind::ShapeCell) {
            const FakeShape& shape = page_->shapes.at(shapes_.at(0));
            return Value(Arg(cell_ == "PinX" ? shape.pinX : shape.pinY));
        }
        if (kind_ != Kind::Cell) {
            Unknown("Value");
        }
        return Value(page_->cells.at(cell_));
    }
    void PutDefault(const Arg& value) override {
        instance_->Enter("Value", {});
        if (kind_ != Kind::Cell) {
            Unknown("Value");
        }
        page_->cells[cell_] = value;
        instance_->Edit(*document_);
    }
    bool Lost() const override { return instance_->lost; }
    bool GivenUpBusy() const override { return instance_->givenUpBusy; }

  private:
    using Indices = std::vector<std::size_t>;

    Object Make(Kind kind, std::shared_ptr<FakeDocument> document = nullptr,
                std::shared_ptr<FakePage> page = nullptr, std::string cell = {},
                Indices shapes = {}) {
        return std::make_unique<FakeObject>(instance_, kind, std::move(document), std::move(page),
                                            std::move(cell), std::move(shapes));
    }
    static Indices AllOf(const FakePage& page) {
        Indices all(page.shapes.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i] = i;
        }
        return all;
    }
    void CopyShapes(const std::shared_ptr<FakePage>& page, const Indices& shapes, int flags) {
        if (!page || shapes.empty()) {
            throw Failure("Requested operation is presently disabled.");
        }
        instance_->world.clipboard.clear();
        for (std::size_t i : shapes) {
            instance_->world.clipboard.push_back(page->shapes.at(i));
        }
        instance_->world.clipboardNoTranslate = (flags & kCopyPasteNoTranslate) != 0;
    }
    // Shapes keep their places only when both the copy and the paste said so; otherwise they
    // land centred on the page.
    Value Paste(int flags) {
        std::vector<FakeShape> shapes = instance_->world.clipboard;
        if (shapes.empty()) {
            throw Failure("Requested operation is presently disabled.");
        }
        if (!instance_->world.clipboardNoTranslate || !(flags & kCopyPasteNoTranslate)) {
            auto [minX, maxX] = std::minmax_element(
                shapes.begin(), shapes.end(),
                [](const FakeShape& a, const FakeShape& b) { return a.pinX < b.pinX; });
            auto [minY, maxY] = std::minmax_element(
                shapes.begin(), shapes.end(),
                [](const FakeShape& a, const FakeShape& b) { return a.pinY < b.pinY; });
            const double dx =
                std::get<double>(page_->cells.at("PageWidth")) / 2 - (minX->pinX + maxX->pinX) / 2;
            const double dy =
                std::get<double>(page_->cells.at("PageHeight")) / 2 - (minY->pinY + maxY->pinY) / 2;
            for (FakeShape& shape : shapes) {
                shape.pinX += dx;
                shape.pinY += dy;
            }
        }
        page_->shapes.insert(page_->shapes.end(), shapes.begin(), shapes.end());
        instance_->Edit(*document_);
        return {};
    }
    // The universal name of the cell a Cells or CellsU call names.
    std::string CellName(std::string_view member, const Args& args) {
        std::string name = TextArg(args, 0);
        if (Is(member, "Cells") && instance_->LocalCellNames()) {
            auto it = std::find_if(kPageCells.begin(), kPageCells.end(), [&](const PageCell& c) {
                return FakeInstance::LocalName(c.name) == name;
            });
            name = it == kPageCells.end() ? std::string() : std::string(it->name);
        }
        if (!page_->cells.count(name)) {
            throw Failure("Unexpected end of file.");
        }
        instance_->EnterCell(name);
        return name;
    }
    static const IntegerArray& StreamArg(const Args& args) {
        const auto* stream = std::get_if<IntegerArray>(&args.at(0));
        if (!stream || stream->items.empty() || stream->items.size() % 3 != 0) {
            throw Failure("Type mismatch");
        }
        return *stream;
    }
    // GetResults(SRCStream, Flags, UnitsNamesOrCodes, results): a faulty cell fails the call.
    Value GetResults(Args& args) {
        if (args.size() != 4 || !std::holds_alternative<std::int32_t>(args[1]) ||
            !std::holds_alternative<VariantArray>(args[2]) ||
            !std::holds_alternative<VariantArray>(args[3])) {
            throw Failure("Type mismatch");
        }
        const IntegerArray& stream = StreamArg(args);
        VariantArray results;
        for (std::size_t k = 0; k < stream.items.size() / 3; ++k) {
            std::string name = CellAt(stream, k);
            instance_->EnterCell(name);
            results.items.push_back(ToScalar(page_->cells.at(name)));
        }
        args[3] = std::move(results);
        return {};
    }
    // SetResults(SRCStream, UnitsNamesOrCodes, results, Flags): stops at a faulty entry, the
    // entries before it set.
    Value SetResults(Args& args) {
        if (args.size() != 4 || !std::holds_alternative<VariantArray>(args[1]) ||
            !std::holds_alternative<VariantArray>(args[2]) ||
            !std::holds_alternative<std::int32_t>(args[3])) {
            throw Failure("Type mismatch");
        }
        const IntegerArray& stream = StreamArg(args);
        const auto& values = std::get<VariantArray>(args[2]).items;
        if (values.size() != stream.items.size() / 3) {
            throw Failure("Type mismatch");
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            std::string name = CellAt(stream, k);
            instance_->EnterCell(name);
            page_->cells[name] = ToArg(values[k]);
            instance_->Edit(*document_);
        }
        return Value(Arg(static_cast<std::int32_t>(values.size())));
    }
    static bool BoolArg(const Arg& value) {
        if (const auto* b = std::get_if<bool>(&value)) {
            return *b;
        }
        throw Failure("Type mismatch");
    }
    // Asks about an unsaved drawing unless told the answer; the box waits for a user who
    // cannot see a hidden instance, so here it counts and is taken as cancelled.
    Value Quit() {
        const bool unsaved = std::any_of(instance_->documents.begin(), instance_->documents.end(),
                                         [](const auto& d) { return !d->saved; });
        std::int32_t answer = instance_->alertResponse;
        if (unsaved && answer == 0) {
            ++instance_->savePrompts;
            answer = 2;
        }
        if (unsaved && answer == 2) {
            throw Failure("Quit was cancelled.");
        }
        instance_->quit = true;
        instance_->lost = true;
        return {};
    }
    FakeDocument& Active() {
        if (!instance_->active) {
            throw Failure("No active document.");
        }
        return *instance_->active;
    }

    Value Read(std::string_view member, const Args& args) {
        switch (kind_) {
            case Kind::Application:
                if (Is(member, "ActiveDocument")) {
                    if (!instance_->active) {
                        return {};
                    }
                    return Make(Kind::Document, instance_->active);
                }
                if (Is(member, "ActiveWindow")) {
                    return Make(Kind::Window);
                }
                if (Is(member, "Documents")) {
                    return Make(Kind::Documents);
                }
                if (Is(member, "Visible")) {
                    return Value(Arg(instance_->visible));
                }
                if (Is(member, "AlertResponse")) {
                    return Value(Arg(instance_->alertResponse));
                }
                if (Is(member, "ProcessID")) {
                    // Not the Windows process: the real application's is no such number.
                    return Value(Arg(static_cast<std::int32_t>(instance_->processId + 7)));
                }
                break;
            case Kind::Documents:
                if (Is(member, "Count")) {
                    return Value(Arg(static_cast<std::int32_t>(instance_->documents.size())));
                }
                if (Is(member, "Add")) {
                    auto document = instance_->AddDrawing(
                        "Drawing" + std::to_string(instance_->documents.size() + 1), "", 1);
                    document->pages.front()->shapes.clear();
                    document->saved = true;
                    return Make(Kind::Document, document);
                }
                break;
            case Kind::Document:
                if (Is(member, "Name")) {
                    return Value(Arg(document_->name));
                }
                if (Is(member, "Path")) {
                    return Value(Arg(document_->path));
                }
                if (Is(member, "FullName")) {
                    return Value(Arg(document_->path + document_->name));
                }
                if (Is(member, "Saved")) {
                    return Value(Arg(document_->saved));
                }
                if (Is(member, "TimeEdited")) {
                    return Value(Arg(document_->timeEdited));
                }
                if (Is(member, "Pages")) {
                    return Make(Kind::Pages, document_);
                }
                break;
            case Kind::Pages:
                if (Is(member, "Count")) {
                    return Value(Arg(static_cast<std::int32_t>(document_->pages.size())));
                }
                if (Is(member, "Item") && !args.empty() &&
                    std::holds_alternative<std::string>(args[0])) {
                    for (const auto& page : document_->pages) {
                        if (page->name == TextArg(args, 0)) {
                            return Make(Kind::Page, document_, page);
                        }
                    }
                    throw Failure("Invalid page name.");
                }
                if (Is(member, "Item")) {
                    int index = IntArg(args, 0);
                    if (index < 1 || index > static_cast<int>(document_->pages.size())) {
                        throw Failure("Invalid page index.");
                    }
                    return Make(Kind::Page, document_, document_->pages[index - 1]);
                }
                if (Is(member, "Add")) {
                    instance_->Edit(*document_);
                    return Make(Kind::Page, document_, instance_->AddPage(*document_));
                }
                break;
            case Kind::Page:
                if (Is(member, "Name")) {
                    return Value(Arg(page_->name));
                }
                if (Is(member, "Background")) {
                    return Value(Arg(page_->background));
                }
                if (Is(member, "PageSheet")) {
                    return Make(Kind::Sheet, document_, page_);
                }
                if (Is(member, "Shapes")) {
                    return Make(Kind::Shapes, document_, page_);
                }
                break;
            case Kind::Shapes:
                if (Is(member, "Count")) {
                    return Value(Arg(static_cast<std::int32_t>(page_->shapes.size())));
                }
                if (Is(member, "Item")) {
                    const int index = IntArg(args, 0);
                    if (index < 1 || index > static_cast<int>(page_->shapes.size())) {
                        throw Failure("Invalid shape index.");
                    }
                    return Make(Kind::Shape, document_, page_, {},
                                {static_cast<std::size_t>(index - 1)});
                }
                break;
            case Kind::Shape:
                if (Is(member, "CellsU") &&
                    (TextArg(args, 0) == "PinX" || TextArg(args, 0) == "PinY")) {
                    return Make(Kind::ShapeCell, document_, page_, TextArg(args, 0), shapes_);
                }
                break;
            case Kind::Sheet:
                if (Is(member, "Cells") || Is(member, "CellsU")) {
                    return Make(Kind::Cell, document_, page_, CellName(member, args));
                }
                break;
            case Kind::Window:
                if (Is(member, "Page")) {
                    if (!instance_->shownPage) {
                        return {};
                    }
                    return Make(Kind::Page, instance_->active, instance_->shownPage);
                }
                if (Is(member, "Document")) {
                    Active();
                    return Make(Kind::Document, instance_->active);
                }
                if (Is(member, "Selection")) {
                    // What is selected now; a later change of the window's selection is not in
                    // it.
                    return Make(Kind::Selection, instance_->active, instance_->shownPage, {},
                                instance_->selection);
                }
                break;
            case Kind::Selection:
                if (Is(member, "Count")) {
                    return Value(Arg(static_cast<std::int32_t>(shapes_.size())));
                }
                break;
            case Kind::Cell:
            case Kind::ShapeCell:
                break;
        }
        Unknown(member);
    }

    Value SaveAs(const NamedArgs& named) {
        auto it = std::find_if(named.begin(), named.end(),
                               [](const NamedArg& a) { return Is(a.name, "fileName"); });
        if (it == named.end()) {
            throw Failure("Argument not optional");
        }
        const std::string* path = std::get_if<std::string>(&it->value);
        std::size_t slash = path ? path->rfind('\\') : std::string::npos;
        if (slash == std::string::npos || !instance_->world.folders.count(path->substr(0, slash))) {
            throw Failure("Could not save the file.");
        }
        FakeDocument copy;
        copy.name = document_->name;
        for (const auto& page : document_->pages) {
            if (copy.pages.size() == instance_->world.roomForPages) {
                instance_->world.savedFiles[*path] = std::move(copy);
                throw Failure("There is not enough space on the disk.");
            }
            copy.pages.push_back(std::make_shared<FakePage>(*page));
        }
        instance_->world.savedFiles[*path] = std::move(copy);
        document_->saved = true;
        return {};
    }

    std::shared_ptr<FakeInstance> instance_;
    Kind kind_;
    std::shared_ptr<FakeDocument> document_;
    std::shared_ptr<FakePage> page_;
    std::string cell_;
    Indices shapes_;  // of a selection: indices into page_'s shapes
};

}  // namespace

std::shared_ptr<FakeDocument> FakeInstance::AddDrawing(const std::string& name,
                                                       const std::string& path, int pageCount) {
    auto document = std::make_shared<FakeDocument>();
    document->name = name;
    document->path = path;
    document->timeEdited = world.Now();
    // Away from the page's centre, where a paste that loses their places would put them.
    for (int i = 0; i < pageCount; ++i) {
        AddPage(*document)->shapes.push_back(
            {name + " shape " + std::to_string(i + 1), 1.0 + i, 2.0});
    }
    documents.push_back(document);
    active = document;
    shownPage = pageCount > 0 ? document->pages.front() : nullptr;
    selection.clear();
    return document;
}

std::shared_ptr<FakePage> FakeInstance::AddPage(FakeDocument& document) {
    auto page = std::make_shared<FakePage>();
    page->name = "Page-" + std::to_string(document.pages.size() + 1);
    for (const PageCell& cell : kPageCells) {
        page->cells[std::string(cell.name)] = Arg(0.0);
    }
    page->cells["PageWidth"] = Arg(8.5);
    page->cells["PageHeight"] = Arg(11.0);
    document.pages.push_back(page);
    return page;
}

void FakeInstance::Enter(std::string_view member, const Args& args) {
    std::string entry(member);
    if (!args.empty()) {
        if (const auto* s = std::get_if<std::string>(&args.front())) {
            entry += ":" + *s;
        }
    }
    calls.push_back(entry);
    if (onCall) {
        onCall(entry);
    }
    if (lost) {
        throw Failure("The RPC server is unavailable.");
    }
    world.milliseconds += world.millisecondsPerCall;
    for (const std::string& key : {Lower(entry), Lower(member)}) {
        auto fault = faults.find(key);
        if (fault != faults.end() && fault->second != "local names" && fault->second != "frozen") {
            Raise(fault->second);
        }
    }
}

void FakeInstance::Edit(FakeDocument& document) {
    document.saved = false;
    auto frozen = faults.find("timeedited");
    if (frozen == faults.end() || frozen->second != "frozen") {
        document.timeEdited = world.Now();
    }
}

Date FakeWorld::Now() const {
    constexpr double kDecember7th2021 = 44537;
    constexpr std::int64_t kDay = 86400000;
    const std::int64_t shown = wholeSeconds ? milliseconds - milliseconds % 1000 : milliseconds;
    return Date{kDecember7th2021 + static_cast<double>(shown) / kDay};
}

void FakeInstance::Raise(const std::string& fault) {
    if (fault == "exit") {
        lost = true;
        throw Failure("The remote procedure call failed.");
    }
    // Refused for as long as the link waits: it then counts the instance as lost.
    if (fault == "busy") {
        lost = true;
        givenUpBusy = true;
        throw Failure("Call was rejected by callee.");
    }
    if (fault == "unknown") {
        throw UnknownMember("Unknown name.");
    }
    throw Failure(fault);
}

void FakeInstance::EnterCell(const std::string& universalName) {
    auto fault = faults.find(Lower("Cells:" + universalName));
    if (fault != faults.end()) {
        Raise(fault->second);
    }
}

bool FakeInstance::LocalCellNames() const {
    auto fault = faults.find("cells");
    return fault != faults.end() && fault->second == "local names";
}

std::string FakeInstance::LocalName(std::string_view universalName) {
    return "Lokal" + std::string(universalName);
}

bool FakeInstance::AllSelected() const {
    return shownPage && !shownPage->shapes.empty() && selection.size() == shownPage->shapes.size();
}

Object FakeInstance::Application() {
    return std::make_unique<FakeObject>(shared_from_this(), Kind::Application);
}

void FakeInstance::SetFault(const std::string& key, const std::string& description) {
    faults[Lower(key)] = description;
}

int FakeInstance::CallsTo(const std::string& entry) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), entry));
}

Object FakeVisio::AttachToVisio() {
    if (!running || running->lost) {
        return nullptr;
    }
    return running->Application();
}

namespace {

class FakeProcess : public InstanceProcess {
  public:
    FakeProcess(FakeVisio& visio, std::uint32_t id) : visio_(visio), id_(id) {}
    void End(std::chrono::milliseconds grace) override {
        visio_.endedProcesses.push_back(id_);
        visio_.endGraces.push_back(grace);
    }
    std::uint32_t Id() const override { return id_; }
    bool EndsWithProgram() const override { return !visio_.processUntied; }

  private:
    FakeVisio& visio_;
    std::uint32_t id_;
};

}  // namespace

StartedInstance FakeVisio::StartVisio() {
    if (startFails) {
        throw Failure("ActiveX component can't create object");
    }
    auto instance = std::make_shared<FakeInstance>(world);
    instance->processId = 2000 + static_cast<std::uint32_t>(started.size());
    for (const auto& [key, value] : startedFaults) {
        instance->SetFault(key, value);
    }
    started.push_back(instance);
    StartedInstance result{instance->Application(), nullptr};
    if (!processUnknown) {
        result.process = std::make_unique<FakeProcess>(*this, instance->processId);
    }
    return result;
}

FakeInstance& FakeVisio::User() {
    if (!running) {
        running = std::make_shared<FakeInstance>(world);
        running->processId = 1000;
    }
    return *running;
}

}  // namespace sv::backup::testing
