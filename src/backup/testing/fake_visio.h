#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/automation.h"
#include "backup/testing/fakes.h"

// An in-memory drawing application behind the automation interface, for portable tests.
namespace sv::backup::testing {

struct FakeShape {
    std::string text;
    double pinX = 0;
    double pinY = 0;
    bool operator==(const FakeShape&) const = default;
};

struct FakePage {
    std::string name;
    bool background = false;
    std::map<std::string, Arg> cells;  // every page-sheet cell the application knows
    std::vector<FakeShape> shapes;
};

struct FakeDocument {
    std::string name;
    std::string path;
    bool saved = false;  // false once anything in it changed since its last save
    Date timeEdited;     // when it was created, opened or last changed
    std::vector<std::shared_ptr<FakePage>> pages;
};

// What both instances share: the clipboard and the file system.
struct FakeWorld {
    std::vector<FakeShape> clipboard;
    // Copied with the no-translate flag: only a paste with the same flag keeps the places.
    bool clipboardNoTranslate = false;
    std::set<std::string> folders;                   // folders SaveAs can write into
    std::map<std::string, FakeDocument> savedFiles;  // path -> copy of the drawing saved
    // Pages the disk has room for: SaveAs writes that many of a longer drawing, then fails.
    std::optional<std::size_t> roomForPages;
    // The applications' clock, in milliseconds: every member call takes that long.
    std::int64_t milliseconds = 0;
    std::int64_t millisecondsPerCall = 0;
    bool wholeSeconds = false;  // a clock that shows whole seconds only
    Date Now() const;
};

// The history log in memory; the drawings where the fake application saved them.
class WorldFiles : public MemoryFiles {
  public:
    explicit WorldFiles(FakeWorld& world) : world_(world) {}
    bool Exists(const std::string& path) override {
        return world_.savedFiles.count(path) > 0 || MemoryFiles::Exists(path);
    }
    bool DeletePlain(const std::string& path) override {
        return world_.savedFiles.erase(path) > 0 || MemoryFiles::DeletePlain(path);
    }
    void MoveOver(const std::string& from, const std::string& to) override {
        if (moveFails) {
            throw Failure("Access is denied.");
        }
        auto node = world_.savedFiles.extract(from);
        if (node.empty()) {
            throw Failure("The system cannot find the file specified.");
        }
        world_.savedFiles.erase(to);
        node.key() = to;
        world_.savedFiles.insert(std::move(node));
        placed = true;
    }
    std::vector<FolderEntry> ListFolder(const std::string& folder) override {
        // Before the save, a run looks for what ended runs left; only once a backup is in
        // place does it weigh the older ones.
        weighings += placed;
        std::vector<FolderEntry> entries = MemoryFiles::ListFolder(folder);
        for (const auto& [path, document] : world_.savedFiles) {
            if (path.rfind(folder + "\\", 0) == 0) {
                entries.push_back({path.substr(folder.size() + 1)});
            }
        }
        return entries;
    }
    bool RemoveUnused(const std::string& path, Removal how) override {
        if (world_.savedFiles.erase(path) > 0) {
            removed.push_back({path, how});
            return true;
        }
        return MemoryFiles::RemoveUnused(path, how);
    }

    bool placed = false;
    int weighings = 0;

  private:
    FakeWorld& world_;
};

class FakeInstance : public std::enable_shared_from_this<FakeInstance> {
  public:
    explicit FakeInstance(FakeWorld& world) : world(world) {}

    // Adds a drawing with pages "Page-1".."Page-n" (a shape "shape k" on each) and makes it
    // active.
    std::shared_ptr<FakeDocument> AddDrawing(const std::string& name, const std::string& path,
                                             int pageCount);
    std::shared_ptr<FakePage> AddPage(FakeDocument& document);
    Object Application();

    // Every member call passes here: it is logged as "Member" or "Member:first text argument"
    // and raises the fault set for either key ("exit" ends the instance; "busy" refuses it
    // until the link gives up on the instance; "unknown" as a member the application lacks).
    // "local names" on Cells is no fault: that instance's Cells then takes local names only;
    // nor "frozen" on TimeEdited: that instance's drawings keep the value they were created or
    // opened with. A member named in `answers` gives that value instead of its own.
    void Enter(std::string_view member, const Args& args);
    // A change to the drawing, by the application's own members or by its user.
    void Edit(FakeDocument& document);
    // A fault set on "Cells:<universal name>" holds for every way of reaching that cell.
    void EnterCell(const std::string& universalName);
    bool LocalCellNames() const;
    static std::string LocalName(std::string_view universalName);
    [[noreturn]] void Raise(const std::string& fault);
    int CallsTo(const std::string& entry) const;
    // Key as for Enter, any letter case.
    void SetFault(const std::string& key, const std::string& description);

    FakeWorld& world;
    std::vector<std::shared_ptr<FakeDocument>> documents;
    std::shared_ptr<FakeDocument> active;
    // The user's window: it shows the active document, at shownPage, with these shapes of it
    // selected (indices).
    std::shared_ptr<FakePage> shownPage;
    std::vector<std::size_t> selection;
    bool AllSelected() const;
    bool quit = false;
    bool lost = false;
    bool givenUpBusy = false;
    // A started instance shows its window until told otherwise; the user's is shown anyway.
    bool visible = true;
    std::int32_t alertResponse = 0;  // 0 asks; 6, 7, 2 answer Yes, No, Cancel silently
    // "Save changes?" boxes Quit raised for an unsaved drawing: each one would have waited on
    // a user who never sees the instance.
    int savePrompts = 0;
    std::uint32_t processId = 0;  // its Windows process; ProcessID answers something else
    std::map<std::string, std::string> faults;  // lower-case key -> description or "exit"
    std::map<std::string, Arg> answers;         // member -> what it gives instead
    std::vector<std::string> calls;
    std::function<void(const std::string& entry)> onCall;
    int liveObjects = 0;
};

class FakeVisio : public DrawingLink {
  public:
    Object AttachToVisio() override;
    // Each started instance's process is known as it starts, unless processUnknown.
    StartedInstance StartVisio() override;

    // The user's running instance, created on first use.
    FakeInstance& User();

    FakeWorld world;
    std::shared_ptr<FakeInstance> running;
    std::vector<std::shared_ptr<FakeInstance>> started;
    bool startFails = false;
    bool processUnknown = false;
    bool processUntied = false;                        // refused by the program's job
    std::map<std::string, std::string> startedFaults;  // faults of every started instance
    std::vector<std::uint32_t> endedProcesses;         // processes ended, in order
    std::vector<std::chrono::milliseconds> endGraces;  // and the grace each one gave
};

}  // namespace sv::backup::testing
