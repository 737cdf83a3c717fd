#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "backup/automation.h"
#include "backup/change_watch.h"
#include "backup/clipboard_keeper.h"
#include "backup/naming.h"
#include "common/dialogs.h"
#include "common/error_report.h"
#include "common/run_cause.h"
#include "common/system.h"

namespace sv::backup {

inline constexpr std::string_view kSaveAllLocation = "in Quorvel2021/08/31.SaveVisio.SaveAll ";

// The main window's backup choices, read at the moment the run needs each one.
class BackupChoices {
  public:
    virtual ~BackupChoices() = default;
    virtual bool SameFolderSelected() = 0;   // Option2
    virtual bool FixedFolderSelected() = 0;  // Option1
    virtual std::string FolderText() = 0;    // Text1
    virtual NamingMode Naming() = 0;         // Option3 / Option4
    virtual WindowHandle Owner() = 0;        // parent of the folder prompt
    virtual bool ChangedOnlySelected() = 0;  // Check9: a timed run copies a changed drawing only
    virtual bool ThinOutSelected() = 0;      // Check10: older backups are thinned after a run
};

// A program-wide text set at start-up, read each time a run uses it: a run can come before
// start-up has set it (a Test pressed during the start-in-tray balloon wait).
class LiveText {
  public:
    LiveText(std::function<std::string()> read) : read_(std::move(read)) {}
    LiveText(std::string fixed) : read_([text = std::move(fixed)] { return text; }) {}
    LiveText(const char* fixed) : LiveText(std::string(fixed)) {}
    std::string operator()() const { return read_(); }

  private:
    std::function<std::string()> read_;
};

// The backup run: one copy of the drawing active in the user's running application, rebuilt
// in a temporary instance, saved under a stamped name and noted in the history log.
class BackupEngine {
  public:
    BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices, Clock& clock,
                 Locale& locale, FileSystem& files, ClipboardKeeper& clipboard,
                 LiveText historyLogPath, LiveText extension);
    // For runs that leave the clipboard alone (tests, tools).
    BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices, Clock& clock,
                 Locale& locale, FileSystem& files, LiveText historyLogPath, LiveText extension);
    BackupEngine(const BackupEngine&) = delete;
    BackupEngine& operator=(const BackupEngine&) = delete;

    // Reports its own failures and never throws. A request made while a run is in progress
    // (from inside one of its dialogs) returns at once.
    void SaveAll(RunCause cause = RunCause::Request);
    bool Running() const { return running_; }
    // The drawing the run in progress backs up, once it is known; empty otherwise.
    std::string DocumentName() const { return documentName_; }
    // The session is ending: the run in progress starts no new page, saves and replaces
    // nothing, ends its temporary instance at once and puts the clipboard back as it returns.
    void Abandon() { abandoned_ = running_; }

  private:
    struct RunState;
    void Run();
    std::optional<std::string> ChooseFolder(Procedure& proc, AutomationObject& source,
                                            AutomationObject& document, const std::string& name);
    std::string TargetPath(RunState& run, const std::string& folder, const std::string& name);
    bool CopyDrawing(RunState& run, AutomationObject& source, AutomationObject& document,
                     AutomationObject* backup);
    void SaveAside(RunState& run, AutomationObject& backup);
    void PutInPlace(RunState& run, const std::string& name);

    DrawingLink& link_;
    Dialogs& dialogs_;
    BackupChoices& choices_;
    Clock& clock_;
    Locale& locale_;
    FileSystem& files_;
    NoClipboardKeeper noClipboard_;
    ClipboardKeeper& clipboard_;
    LiveText historyLogPath_;
    LiveText extension_;
    bool running_ = false;
    RunCause cause_ = RunCause::Request;
    ChangeWatch watch_{clock_, files_};
    std::string documentName_;
    bool abandoned_ = false;
};

}  // namespace sv::backup
