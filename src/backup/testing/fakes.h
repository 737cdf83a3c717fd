#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "backup/clipboard_keeper.h"
#include "common/dialogs.h"
#include "common/failure.h"
#include "common/system.h"

// Small fakes of the platform services the backup engine uses.
namespace sv::backup::testing {

struct ShownMessage {
    std::string text;
    std::string title;
    unsigned style = 0;
};

struct FolderPrompt {
    WindowHandle owner = 0;
    std::string title;
    std::string start;
};

// Records every dialog; folder prompts are answered from a queue (empty text = Cancel).
class RecordingDialogs : public Dialogs {
  public:
    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override {
        messages.push_back({text, title, style});
        if (onDialog) {
            onDialog();
        }
        return mb::kIdOk;
    }
    std::string BrowseForFolder(WindowHandle owner, const std::string& title,
                                const std::string& start) override {
        prompts.push_back({owner, title, start});
        if (onDialog) {
            onDialog();
        }
        if (answers.empty()) {
            throw Failure("No answer left for the folder prompt");
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<ShownMessage> messages;
    std::vector<FolderPrompt> prompts;
    std::deque<std::string> answers;
    std::function<void()> onDialog;
};

// Records what a run asks of the clipboard keeper: "Take", "BeforeCopy", "Own" (a change of
// the run's own), "Check" (before a paste) and "Restore", in order.
class RecordingClipboard : public backup::ClipboardKeeper {
  public:
    void Take() override { events.push_back("Take"); }
    void BeforeOwnCopy() override { events.push_back("BeforeCopy"); }
    void NoteOwnChange() override { events.push_back("Own"); }
    bool HoldsOwnCopy() override {
        events.push_back("Check");
        if (foreignWrites > 0) {
            --foreignWrites;
            return false;
        }
        return true;
    }
    void Restore() override { events.push_back("Restore"); }

    std::vector<std::string> events;
    // Checks that find the clipboard written by someone else, before it holds the run's own.
    int foreignWrites = 0;
};

// Gives the queued moments in turn, then repeats the last.
class FakeClock : public Clock {
  public:
    LocalTime Now() override {
        ++reads;
        if (times.size() > 1) {
            LocalTime t = times.front();
            times.pop_front();
            return t;
        }
        return times.empty() ? LocalTime{} : times.front();
    }
    std::int64_t MonotonicMilliseconds() override { return monotonic ? monotonic() : 0; }

    std::deque<LocalTime> times;
    int reads = 0;
    std::function<std::int64_t()> monotonic;
};

class EnglishLocale : public Locale {
  public:
    std::string MonthAbbreviation(int month) override {
        static const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        return names[(month - 1) % 12];
    }
    std::string TimeMarker(bool afternoon) override { return afternoon ? "PM" : "AM"; }
    std::string ShortDate(const LocalTime& t) override {
        return std::to_string(t.month) + "/" + std::to_string(t.day) + "/" + std::to_string(t.year);
    }
    std::string LongTime(const LocalTime& t) override {
        int hour = t.hour % 12 == 0 ? 12 : t.hour % 12;
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour, t.minute, t.second,
                      t.hour >= 12 ? "PM" : "AM");
        return buffer;
    }
};

// Files held in memory; appends and moves can be made to fail.
class MemoryFiles : public FileSystem {
  public:
    bool Exists(const std::string& path) override { return files.count(path) > 0; }
    bool IsOrdinaryFile(const std::string& path) override { return Exists(path); }
    void AppendText(const std::string& path, const std::string& text) override {
        if (appendFails) {
            throw Failure("Permission denied");
        }
        files[path] += text;
    }
    std::string ReadText(const std::string& path) override { return files.at(path); }
    bool DeletePlain(const std::string& path) override { return files.erase(path) > 0; }
    bool DeleteForced(const std::string& path) override { return DeletePlain(path); }
    void MoveOver(const std::string& from, const std::string& to) override {
        if (moveFails) {
            throw Failure("Access is denied.");
        }
        auto node = files.extract(from);
        if (node.empty()) {
            throw Failure("The system cannot find the file specified.");
        }
        files.erase(to);
        node.key() = to;
        files.insert(std::move(node));
    }
    // The files directly in the folder, and the planted folders there.
    std::vector<FolderEntry> ListFolder(const std::string& folder) override {
        listed.push_back(folder);
        if (unlistable.count(folder)) {
            throw Failure("Access is denied.");
        }
        const std::string prefix = folder + "\\";
        std::vector<FolderEntry> entries;
        auto add = [&](const std::string& path, bool isFolder) {
            if (path.rfind(prefix, 0) == 0 && path.find('\\', prefix.size()) == std::string::npos) {
                auto age = ages.find(path);
                entries.push_back({path.substr(prefix.size()), isFolder, readOnly.count(path) > 0,
                                   age == ages.end() ? 0 : age->second});
            }
        };
        for (const auto& [path, text] : files) {
            add(path, false);
        }
        for (const std::string& path : folders) {
            add(path, true);
        }
        return entries;
    }
    bool RemoveUnused(const std::string& path, Removal how) override {
        if (!files.count(path) || readOnly.count(path) || heldOpen.count(path)) {
            return false;
        }
        files.erase(path);
        removed.push_back({path, how});
        return true;
    }
    std::string ProgramFolder() override { return "C:\\Program Files\\Stenvault"; }

    std::map<std::string, std::string> files;
    bool appendFails = false;
    bool moveFails = false;
    // What ListFolder and RemoveUnused see besides the files.
    std::set<std::string> folders;
    std::set<std::string> readOnly;
    std::set<std::string> heldOpen;
    std::set<std::string> unlistable;
    std::map<std::string, std::int64_t> ages;
    std::vector<std::pair<std::string, Removal>> removed;
    // The folders asked for, in order.
    std::vector<std::string> listed;
};

}  // namespace sv::backup::testing
