#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "backup/automation.h"
#include "backup/clipboard_keeper.h"
#include "backup/naming.h"
#include "common/dialogs.h"
#include "common/error_report.h"
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
};

// The backup run: one copy of the drawing active in the user's running application, rebuilt
// in a temporary instance, saved under a stamped name and noted in the history log.
class BackupEngine {
  public:
    BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices, Clock& clock,
                 Locale& locale, FileSystem& files, ClipboardKeeper& clipboard,
                 std::string historyLogPath, std::string extension);
    // For runs that leave the clipboard alone (tests, tools).
    BackupEngine(DrawingLink& link, Dialogs& dialogs, BackupChoices& choices, Clock& clock,
                 Locale& locale, FileSystem& files, std::string historyLogPath,
                 std::string extension);
    BackupEngine(const BackupEngine&) = delete;
    BackupEngine& operator=(const BackupEngine&) = delete;

    // Reports its own failures and never throws. A request made while a run is in progress
    // (from inside one of its dialogs) returns at once.
    void SaveAll();
    bool Running() const { return running_; }

  private:
    struct RunState;
    void Run();
    std::optional<std::string> ChooseFolder(Procedure& proc, AutomationObject& source,
                                            const std::string& name);
    std::string TargetPath(Procedure& proc, const std::string& folder, const std::string& name);
    bool CopyDrawing(RunState& run, AutomationObject& source, AutomationObject* backup);
    void SaveAndLog(RunState& run, AutomationObject& backup, const std::string& name);

    DrawingLink& link_;
    Dialogs& dialogs_;
    BackupChoices& choices_;
    Clock& clock_;
    Locale& locale_;
    FileSystem& files_;
    NoClipboardKeeper noClipboard_;
    ClipboardKeeper& clipboard_;
    std::string historyLogPath_;
    std::string extension_;
    bool running_ = false;
};

}  // namespace sv::backup
