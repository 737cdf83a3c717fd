#include "backup/save_all.h"

#include <cstdint>
#include <utility>

#include "backup/page_copy.h"
#include "backup/temporary_instance.h"
#include "backup/thinning.h"
#include "history/history_log.h"

namespace sv::backup {
namespace {

// The user's clipboard for the length of a run: taken once, put back once, on every path.
class KeptClipboard {
  public:
    explicit KeptClipboard(ClipboardKeeper& keeper) : keeper_(keeper) { keeper_.Take(); }
    KeptClipboard(const KeptClipboard&) = delete;
    KeptClipboard& operator=(const KeptClipboard&) = delete;
    ~KeptClipboard() { keeper_.Restore(); }

  private:
    ClipboardKeeper& keeper_;
};

// Null when the application has no active document. The run keeps this object: whatever the
// user activates meanwhile, the pages copied are this document's.
Object ActiveDocument(AutomationObject& source) {
    Value active = source.Get("ActiveDocument");
    return active.IsObject() ? active.TakeObject() : nullptr;
}

// Whether the instance is lost, asking it once. Lost, that is reported at the label: the run
// ends there and must say why.
bool InstanceLost(Procedure& proc, int label, AutomationObject& app) {
    TryReportingLoss(proc, label, app, [&] { app.Get("ActiveDocument"); });
    return app.Lost();
}

// What runs that were ended left in the folder goes first; what cannot go stays, unsaid. A
// target without a folder of its own (an empty folder field) names none.
void RemoveLeftovers(FileSystem& files, const std::string& folder, std::string_view extension) {
    if (folder.find_first_not_of('\\') == std::string::npos) {
        return;
    }
    try {
        for (const std::string& name : Leftovers(files.ListFolder(folder), extension)) {
            files.RemoveUnused(folder + "\\" + name, Removal::Delete);
        }
    } catch (const Failure&) {
    }
}

}  // namespace

// What one run carries from step to step.
struct BackupEngine::RunState {
    RunState(Dialogs& dialogs, ClipboardKeeper& clipboard)
        : proc(dialogs, kSaveAllLocation, &reports),
          shown(dialogs, kSaveAllLocation),
          pages{dialogs, reports, clipboard} {}

    RunReports reports;
    Procedure proc;
    // A failed save or history line is always shown: it is the news that no backup was made.
    Procedure shown;
    RunContext pages;
    std::string target;
    NamingMode mode = NamingMode::None;
    int counter = 0;
    // Whether every statement of the copy succeeded.
    bool complete = false;
    int pagesReached = 0;
    // Read only with "Back up only when the drawing has changed" on.
    std::optional<DrawingSignals> signals;
    // The new file, under a name of its own until it takes the target's place.
    std::string aside;
    bool saved = false;
};

BackupEngine::BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices,
                           Clock& clock, Locale& locale, FileSystem& files,
                           ClipboardKeeper& clipboard, LiveText historyLogPath, LiveText extension)
    : link_(link),
      dialogs_(dialogs),
      choices_(choices),
      clock_(clock),
      locale_(locale),
      files_(files),
      clipboard_(clipboard),
      historyLogPath_(std::move(historyLogPath)),
      extension_(std::move(extension)) {}

BackupEngine::BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices,
                           Clock& clock, Locale& locale, FileSystem& files, LiveText historyLogPath,
                           LiveText extension)
    : BackupEngine(link, dialogs, choices, clock, locale, files, noClipboard_,
                   std::move(historyLogPath), std::move(extension)) {}

void BackupEngine::SaveAll(RunCause cause) {
    // Dialogs of a run let timer ticks and clicks run inside it; runs never overlap.
    if (running_) {
        return;
    }
    running_ = true;
    cause_ = cause;
    struct Reset {
        BackupEngine& engine;
        ~Reset() {
            engine.running_ = false;
            engine.abandoned_ = false;
            engine.documentName_.clear();
        }
    } reset{*this};
    Run();
}

void BackupEngine::Run() {
    RunState run(dialogs_, clipboard_);
    Procedure& proc = run.proc;

    Object source;
    proc.Do(100, [&] { source = link_.AttachToVisio(); });
    if (!source) {
        return;  // 102
    }
    Object document;
    std::string name;
    proc.Do(108, [&] {
        document = ActiveDocument(*source);
        if (document) {
            name = document->GetText("Name");
        }
    });
    if (name.empty()) {
        return;  // 108, 110
    }
    if (choices_.ChangedOnlySelected()) {
        proc.Do(108, [&] { run.signals = ReadSignals(*document, clock_); });
        if (cause_ == RunCause::Timer && run.signals && watch_.Unchanged(*run.signals)) {
            return;
        }
    }
    documentName_ = name;

    KeptClipboard kept(clipboard_);
    std::optional<std::string> folder = ChooseFolder(proc, *source, *document, name);
    if (!folder) {
        return;
    }
    run.target = TargetPath(run, *folder, name);
    proc.Do(140, [&] { run.counter = 1; });

    TemporaryInstance temporary(link_);
    proc.Do(142, [&] { temporary.Start(); });
    if (!temporary.Started()) {
        return;
    }
    // From here every path reaches the quit at 166.
    Object backup;
    // The drawing Add returns: an instance started hidden may have no active window, and then
    // no ActiveDocument.
    DoNeeding(proc, 144, {temporary.App()}, [&] {
        backup = temporary.App()->GetObj("Documents")->Call("Add", {std::string()}).TakeObject();
    });
    if (run.signals) {
        DoNeeding(proc, 144, {backup.get()}, [&] { watch_.CopyBegins(*backup); });
    }
    // Only a copy of the drawing is saved (and so may replace an earlier backup) and logged.
    const int failuresBefore = run.reports.Failures();
    const bool everyPage = CopyDrawing(run, *source, *document, backup.get());
    run.complete = run.reports.Failures() == failuresBefore;
    if (run.signals && everyPage && run.complete && run.pagesReached > 0) {
        DoNeeding(proc, 160, {backup.get()}, [&] { watch_.CopyEnded(*backup); });
    }
    if (everyPage && !source->Lost() && !abandoned_) {
        SaveAside(run, *backup);
    }
    // A session that is ending leaves no time for the quit's grace.
    if (abandoned_) {
        backup.reset();
    } else {
        temporary.Quit(proc, std::move(backup));
    }

    proc.Do(174, [&] { temporary.Release(); });
    PutInPlace(run, name);
    proc.Do(176, [&] {
        document.reset();
        source.reset();
    });
}

std::optional<std::string> BackupEngine::ChooseFolder(Procedure& proc, AutomationObject& source,
                                                      AutomationObject& document,
                                                      const std::string& name) {
    std::string folder;
    if (proc.If(112, [&] { return choices_.SameFolderSelected(); })) {
        // The prompt is for a drawing never saved: one whose folder cannot be read is not.
        bool read = false;
        DoNeeding(proc, 114, {&document}, [&] {
            folder = document.GetText("Path");
            read = true;
        });
        if (!read) {
            return std::nullopt;
        }
        while (proc.If(116, [&] { return folder.empty(); })) {
            bool answered = false;
            proc.Do(118, [&] {
                folder = dialogs_.BrowseForFolder(
                    choices_.Owner(), name + " is unsaved. Please select location:", "");
                answered = true;
            });
            // No asking again after a prompt that could not be shown, nor for a drawing
            // whose application has gone meanwhile.
            if (!answered || (folder.empty() && InstanceLost(proc, 118, source))) {
                return std::nullopt;
            }
        }
    } else if (proc.If(128, [&] { return choices_.FixedFolderSelected(); })) {
        proc.Do(130, [&] { folder = choices_.FolderText(); });
    }
    return folder;
}

std::string BackupEngine::TargetPath(RunState& run, const std::string& folder,
                                     const std::string& name) {
    Procedure& proc = run.proc;
    std::string target;
    proc.Do(132, [&] { target = folder + "\\" + name; });
    proc.Do(134, [&] { target = FixBackslashes(target); });
    proc.Do(136, [&] { target = FixBackslashes(target); });
    proc.Do(138, [&] {
        run.mode = choices_.Naming();
        target = StampName(target, run.mode, clock_, locale_, extension_());
    });
    return target;
}

// Lines 146 to 160. True when the page list was read and every page reached the backup
// (what a page copy lost on the way is its own report).
bool BackupEngine::CopyDrawing(RunState& run, AutomationObject& source, AutomationObject& document,
                               AutomationObject* backup) {
    Procedure& proc = run.proc;
    run.pages.sourceApp = &source;
    run.pages.document = &document;
    Object sourcePages;
    int pageCount = 0;
    bool listed = false;
    DoNeeding(proc, 146, {&document, backup}, [&] {
        sourcePages = document.GetObj("Pages");
        pageCount = sourcePages->Get("Count").Integer();
        listed = true;
    });
    if (!listed) {
        return false;
    }
    int& reached = run.pagesReached;
    Object targetPages;
    for (int index = 1; index <= pageCount && !source.Lost() && !backup->Lost() && !abandoned_;
         ++index) {
        Object sourcePage;
        DoNeeding(proc, index == 1 ? 146 : 160, {sourcePages.get()},
                  [&] { sourcePage = sourcePages->GetObj("Item", {index}); });
        if (!sourcePage) {
            continue;
        }
        Object targetPage;
        if (proc.If(148, [&] { return run.counter == 1; })) {
            DoNeeding(proc, 150, {backup}, [&] {
                targetPages = backup->GetObj("Pages");
                targetPage = targetPages->GetObj("Item", {1});
            });
        } else {
            DoNeeding(proc, 152, {backup}, [&] {
                if (!targetPages) {
                    targetPages = backup->GetObj("Pages");
                }
                targetPage = targetPages->Call("Add").TakeObject();
            });
        }
        // Only an application that cannot select a page's shapes without the user's window
        // has it turned to the page; a page it does not reach is not in the backup.
        bool shown = true;
        if (run.pages.window) {
            shown = false;
            DoNeeding(proc, 154, {&source}, [&] {
                run.pages.window->Show(*sourcePage);
                shown = true;
            });
        }
        if (shown) {
            DoNeeding(proc, 156, {&source, targetPage.get()}, [&] {
                if (CopyPage(run.pages, *sourcePage, *targetPage)) {
                    ++reached;
                }
            });
        }
        proc.Do(158, [&] { ++run.counter; });
    }
    if (run.pages.window) {
        DoNeeding(proc, 160, {&source}, [&] { run.pages.window->Restore(); });
        run.pages.window.reset();
    }
    return reached == pageCount;
}

// Line 162. The backup goes beside its target under a name of its own, with the extension
// the application picks the format from: a save that fails half-way then costs nothing.
void BackupEngine::SaveAside(RunState& run, AutomationObject& backup) {
    if (const std::optional<PathParts> parts = SplitPath(run.target)) {
        RemoveLeftovers(files_, parts->folder, extension_());
        std::int64_t number = clock_.MonotonicMilliseconds();
        do {
            run.aside = parts->folder + "\\" + UnfinishedName(number++, extension_());
        } while (files_.Exists(run.aside));
    } else {
        run.aside = run.target;  // no target (no naming chosen): the save fails as it is
    }
    DoNeeding(run.shown, 162, {&backup}, [&] {
        backup.Call("SaveAs", {}, {{"fileName", run.aside}});
        run.saved = true;
    });
}

// Once the temporary instance has let go of the new file: it replaces the target in one step
// (line 162), and only then is the history line written (164). An incomplete copy never
// replaces the day's backup; a file that is not put in place is removed.
void BackupEngine::PutInPlace(RunState& run, const std::string& name) {
    if (run.aside.empty() || run.aside == run.target) {
        return;
    }
    bool placed = false;
    if (run.saved && !abandoned_) {
        if (!run.complete && run.mode == NamingMode::Overwrite && files_.Exists(run.target)) {
            ShowErrorReport(dialogs_, kSaveAllLocation,
                            "Part of the drawing could not be copied: the earlier backup " +
                                run.target + " was kept.",
                            162);
        } else {
            run.shown.Do(162, [&] {
                files_.MoveOver(run.aside, run.target);
                placed = true;
                watch_.Placed(run.target);
            });
        }
    }
    if (!placed) {
        files_.DeletePlain(run.aside);
        return;
    }
    std::optional<LocalTime> logged;
    run.shown.Do(164, [&] {
        const LocalTime now = clock_.Now();
        AppendHistoryLine(
            files_, historyLogPath_(),
            name + " was backup saved as " + run.target + " at " + GeneralDate(locale_, now));
        logged = now;
        if (run.signals && run.complete) {
            watch_.BackedUp(*run.signals, run.target);
        }
    });
    // Only after a run that met no failure, at the moment its line names.
    if (logged && run.reports.Failures() == 0 && choices_.ThinOutSelected()) {
        ThinOut(files_, locale_, run.target, name, extension_(), *logged);
    }
}

}  // namespace sv::backup
