#include "backup/testing/fake_visio.h"

#include <algorithm>
#include <cctype>
#include <string_view>

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
    throw Failure("Unknown name: " + std::string(member));
}

enum class Kind { Application, Documents, Document, Pages, Page, Sheet, Cell, Window, Selection };

class FakeObject : public AutomationObject {
  public:
    FakeObject(std::shared_ptr<FakeInstance> instance, Kind kind,
               std::shared_ptr<FakeDocument> document = nullptr,
               std::shared_ptr<FakePage> page = nullptr, std::string cell = {})
        : instance_(std::move(instance)),
          kind_(kind),
          document_(std::move(document)),
          page_(std::move(page)),
          cell_(std::move(cell)) {
        ++instance_->liveObjects;
    }
    ~FakeObject() override { --instance_->liveObjects; }

    Value Get(std::string_view member, const Args& args) override {
        instance_->Enter(member, args);
        return Read(member, args);
    }
    void Put(std::string_view member, const Arg& value, const Args& args) override {
        instance_->Enter(member, args);
        if (kind_ == Kind::Window && Is(member, "Page")) {
            const auto* name = std::get_if<std::string>(&value);
            auto& pages = Active().pages;
            auto it = std::find_if(pages.begin(), pages.end(),
                                   [&](const auto& p) { return name && p->name == *name; });
            if (it == pages.end()) {
                throw Failure("Invalid page name.");
            }
            instance_->shownPage = *it;
            instance_->allSelected = false;
            return;
        }
        if (kind_ == Kind::Sheet && Is(member, "Cells")) {
            std::string name = TextArg(args, 0);
            if (!page_->cells.count(name)) {
                throw Failure("Unexpected end of file.");
            }
            page_->cells[name] = value;
            document_->saved = false;
            return;
        }
        if (kind_ == Kind::Page && Is(member, "Background")) {
            page_->background = std::get<bool>(value);
            document_->saved = false;
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
                    auto& shapes = page_->shapes;
                    shapes.insert(shapes.end(), instance_->world.clipboard.begin(),
                                  instance_->world.clipboard.end());
                    document_->saved = false;
                    return {};
                }
                break;
            case Kind::Window:
                if (Is(member, "SelectAll")) {
                    instance_->allSelected = true;
                    return {};
                }
                if (Is(member, "DeselectAll")) {
                    instance_->allSelected = false;
                    return {};
                }
                if (Is(member, "Copy")) {
                    if (SelectedCount() == 0) {
                        throw Failure("Requested operation is presently disabled.");
                    }
                    instance_->world.clipboard = instance_->shownPage->shapes;
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
        Unknown(member);
    }
    Value GetDefault() override {
        instance_->Enter("Value", {});
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
        document_->saved = false;
    }
    bool Lost() const override { return instance_->lost; }

  private:
    Object Make(Kind kind, std::shared_ptr<FakeDocument> document = nullptr,
                std::shared_ptr<FakePage> page = nullptr, std::string cell = {}) {
        return std::make_unique<FakeObject>(instance_, kind, std::move(document), std::move(page),
                                            std::move(cell));
    }
    std::int32_t SelectedCount() const {
        if (!instance_->allSelected || !instance_->shownPage) {
            return 0;
        }
        return static_cast<std::int32_t>(instance_->shownPage->shapes.size());
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
                if (Is(member, "Saved")) {
                    return Value(Arg(document_->saved));
                }
                if (Is(member, "Pages")) {
                    return Make(Kind::Pages, document_);
                }
                break;
            case Kind::Pages:
                if (Is(member, "Count")) {
                    return Value(Arg(static_cast<std::int32_t>(document_->pages.size())));
                }
                if (Is(member, "Item")) {
                    int index = IntArg(args, 0);
                    if (index < 1 || index > static_cast<int>(document_->pages.size())) {
                        throw Failure("Invalid page index.");
                    }
                    return Make(Kind::Page, document_, document_->pages[index - 1]);
                }
                if (Is(member, "Add")) {
                    document_->saved = false;
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
                break;
            case Kind::Sheet:
                if (Is(member, "Cells")) {
                    std::string name = TextArg(args, 0);
                    if (!page_->cells.count(name)) {
                        throw Failure("Unexpected end of file.");
                    }
                    return Make(Kind::Cell, document_, page_, name);
                }
                break;
            case Kind::Window:
                if (Is(member, "Page")) {
                    return Value(Arg(instance_->shownPage ? instance_->shownPage->name : ""));
                }
                if (Is(member, "Selection")) {
                    return Make(Kind::Selection);
                }
                break;
            case Kind::Selection:
                if (Is(member, "Count")) {
                    return Value(Arg(SelectedCount()));
                }
                break;
            case Kind::Cell:
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
};

}  // namespace

std::shared_ptr<FakeDocument> FakeInstance::AddDrawing(const std::string& name,
                                                       const std::string& path, int pageCount) {
    auto document = std::make_shared<FakeDocument>();
    document->name = name;
    document->path = path;
    for (int i = 0; i < pageCount; ++i) {
        AddPage(*document)->shapes.push_back({name + " shape " + std::to_string(i + 1)});
    }
    documents.push_back(document);
    active = document;
    shownPage = pageCount > 0 ? document->pages.front() : nullptr;
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
    for (const std::string& key : {Lower(entry), Lower(member)}) {
        auto fault = faults.find(key);
        if (fault != faults.end()) {
            if (fault->second == "exit") {
                lost = true;
                throw Failure("The remote procedure call failed.");
            }
            // Refused for as long as the link waits: it then counts the instance as lost.
            if (fault->second == "busy") {
                lost = true;
                throw Failure("Call was rejected by callee.");
            }
            throw Failure(fault->second);
        }
    }
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
