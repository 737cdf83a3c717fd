#include "backup/save_all.h"

#include <chrono>
#include <cstdint>
#include <utility>

#include "backup/page_copy.h"
#include "common/error_report.h"
#include "history/history_log.h"

namespace sv::backup {
namespace {

constexpr std::chrono::milliseconds kQuitGrace{10000};

// The run's temporary instance: hidden from the start, and quit once it was started, whatever
// happened in between, without ever waiting on a prompt; its process never outlives the run.
class TemporaryInstance {
  public:
    explicit TemporaryInstance(DrawingLink& link) : link_(link) {}
    TemporaryInstance(const TemporaryInstance&) = delete;
    TemporaryInstance& operator=(const TemporaryInstance&) = delete;
    ~TemporaryInstance() {
        if (app && !quitAsked && !app->Lost()) {
            try {
                PrepareQuit(nullptr);
                app->Call("Quit");
            } catch (...) {
            }
        }
        End();
    }

    void Start() {
        app = link_.StartVisio();
        // A refused Visible leaves a window on screen, nothing worse: not worth a report.
        try {
            app->Put("Visible", false);
        } catch (...) {
        }
        try {
            processId = static_cast<std::uint32_t>(app->Get("ProcessID").Integer());
        } catch (...) {
        }
    }
    bool Usable() const { return app && !app->Lost(); }

    // The copy is ours to discard: Quit must not ask about it.
    void PrepareQuit(AutomationObject* drawing) {
        if (drawing) {
            try {
                drawing->Put("Saved", true);
            } catch (...) {
            }
        }
        try {
            app->Put("AlertResponse", std::int32_t{7});
        } catch (...) {
        }
    }
    // Waits for the process to end after Quit, and ends it if it does not.
    void End() {
        app.reset();
        if (processId != 0) {
            link_.EndProcess(processId, kQuitGrace);
            processId = 0;
        }
    }

    Object app;
    bool quitAsked = false;
    std::uint32_t processId = 0;

  private:
    DrawingLink& link_;
};

}  // namespace

BackupEngine::BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices,
                           Clock& clock, Locale& locale, FileSystem& files,
                           std::string historyLogPath, std::string extension)
    : link_(link),
      dialogs_(dialogs),
      choices_(choices),
      clock_(clock),
      locale_(locale),
      files_(files),
      historyLogPath_(std::move(historyLogPath)),
      extension_(std::move(extension)) {}

void BackupEngine::SaveAll() {
    // Dialogs of a run let timer ticks and clicks run inside it; runs never overlap.
    if (running_) {
        return;
    }
    running_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{running_};
    Run();
}

void BackupEngine::Run() {
    Procedure proc(dialogs_, kSaveAllLocation);

    Object source;
    proc.Do(100, [&] { source = link_.AttachToVisio(); });
    if (!source) {
        return;
    }

    std::string name;
    bool noDocument = false;
    proc.Do(108, [&] {
        Value active = source->Get("ActiveDocument");
        if (!active.IsObject()) {
            noDocument = true;
            return;
        }
        name = active.TakeObject()->GetText("Name");
    });
    if (noDocument || name.empty()) {
        return;
    }

    std::string folder;
    if (proc.If(112, [&] { return choices_.SameFolderSelected(); })) {
        proc.Do(114, [&] { folder = source->GetObj("ActiveDocument")->GetText("Path"); });
        while (proc.If(116, [&] { return folder.empty(); })) {
            bool asked = false;
            proc.Do(118, [&] {
                folder = dialogs_.BrowseForFolder(
                    choices_.Owner(), name + " is unsaved. Please select location:", "");
                asked = true;
            });
            // A prompt that cannot be shown would otherwise come back for ever.
            if (!asked) {
                return;
            }
        }
    } else if (proc.If(128, [&] { return choices_.FixedFolderSelected(); })) {
        proc.Do(130, [&] { folder = choices_.FolderText(); });
    }

    std::string target;
    proc.Do(132, [&] { target = folder + "\\" + name; });
    proc.Do(134, [&] { target = FixBackslashes(target); });
    proc.Do(136, [&] { target = FixBackslashes(target); });
    proc.Do(138,
            [&] { target = StampName(target, choices_.Naming(), clock_, locale_, extension_); });
    int counter = 0;
    proc.Do(140, [&] { counter = 1; });

    TemporaryInstance temporary(link_);
    proc.Do(142, [&] { temporary.Start(); });
    if (!temporary.app) {
        return;
    }

    Object backup;
    proc.Do(144, [&] {
        temporary.app->GetObj("Documents")->Call("Add", {std::string()});
        backup = temporary.app->GetObj("ActiveDocument");
    });

    // Without a drawing to rebuild into, every page and the save would fail for the same
    // reason already reported.
    bool saved = false;
    if (backup) {
        Object sourcePages;
        int pageCount = 0;
        proc.Do(146, [&] {
            sourcePages = source->GetObj("ActiveDocument")->GetObj("Pages");
            pageCount = sourcePages->Get("Count").Integer();
        });
        Object targetPages;
        for (int index = 1; index <= pageCount; ++index) {
            if (!temporary.Usable() || source->Lost()) {
                break;
            }
            Object sourcePage;
            proc.Do(index == 1 ? 146 : 160,
                    [&] { sourcePage = sourcePages->GetObj("Item", {index}); });
            if (!sourcePage) {
                continue;
            }
            Object targetPage;
            if (proc.If(148, [&] { return counter == 1; })) {
                proc.Do(150, [&] {
                    targetPages = backup->GetObj("Pages");
                    targetPage = targetPages->GetObj("Item", {1});
                });
            } else {
                proc.Do(152, [&] {
                    if (!targetPages) {
                        targetPages = backup->GetObj("Pages");
                    }
                    targetPage = targetPages->Call("Add").TakeObject();
                });
            }
            proc.Do(154, [&] {
                source->GetObj("ActiveWindow")->Put("Page", sourcePage->GetText("Name"));
            });
            proc.Do(156, [&] { CopyPage(dialogs_, *source, sourcePage.get(), targetPage.get()); });
            proc.Do(158, [&] { ++counter; });
        }

        proc.Do(162, [&] {
            backup->Call("SaveAs", {}, {{"fileName", target}});
            saved = true;
        });
    }
    if (saved) {
        proc.Do(164, [&] {
            AppendHistoryLine(files_, historyLogPath_,
                              name + " was backup saved as " + target + " at " +
                                  GeneralDate(locale_, clock_.Now()));
        });
    }
    if (temporary.Usable()) {
        temporary.PrepareQuit(backup.get());
    }
    // Only the application itself is still held when it is told to quit.
    backup.reset();
    if (temporary.Usable()) {
        temporary.quitAsked = true;
        proc.Do(166, [&] {
            try {
                temporary.app->Call("Quit");
            } catch (...) {
                // An instance that ended before it could answer has quit all the same.
                if (!temporary.app->Lost()) {
                    throw;
                }
            }
        });
    }

    proc.Do(174, [&] { temporary.End(); });
    proc.Do(176, [&] { source.reset(); });
}

}  // namespace sv::backup
