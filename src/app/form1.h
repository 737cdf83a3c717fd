#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/form_view.h"
#include "common/dialogs.h"
#include "common/helpers.h"
#include "common/system.h"
#include "platform/startup_entry.h"
#include "platform/sys_tray.h"
#include "schedule/scheduler.h"
#include "settings/settings_store.h"

namespace sv {

// What the window logic reaches outside the window. Every reference must outlive the Form1.
struct Form1Services {
    SettingsStore& settings;
    Dialogs& dialogs;
    FileSystem& files;
    Launcher& launcher;
    RandomSource& random;
    Environment& environment;
    ShellFolders& shellFolders;
    TrayShell& trayShell;
    // The backup run; it reports its own failures and always returns.
    std::function<void(RunCause)> saveAll;
    // Starts and quits the drawing application once; false (after its own message, titled
    // with the given application title) when it cannot be started.
    std::function<bool(const std::string& appTitle)> checkVisioInstalled;
    // Where the Windows start-up entry goes, and the running program's full path it names.
    Registry& registry;
    std::string executablePath;
};

inline constexpr char kPointerFileName[] = "\\HAND-M.CUR";
inline constexpr char kIntervalColumnHeading[] = "How often should backups be made?";
inline constexpr int kIntervalColumnWidthTwips = 6400;
inline constexpr char kBrowseTitle[] = "Please select folder:";
inline constexpr char kHelpMessagePrefix[] = "Questions? Please contact Team Veltrane at ";
inline constexpr char kBalloonText[] =
    "has been minimized to the system tray.\r\n"
    "Click the blue icon in the notification area to bring it back.";

// The main window's logic: its state and one handler per control event. The Windows window
// calls the handlers; none of them lets a failure escape.
//
// Before Form_Load the window hands the tray component its design-time layout (the icon
// picture) through cSysTray1().
class Form1 {
  public:
    Form1(FormView& view, Form1Services services);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Start-up and shutdown.
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();

    // Minimise to the notification area, and back.
    void Form_Resize();
    void cSysTray1_MouseUp();

    // Stored choices.
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Option4_Click();
    void Check5_Click();
    void Check8_Click();
    void Check9_Click();
    void Check10_Click();
    void Text1_Change();
    void PushButton1_Click();

    // Scheduler.
    void PushButton2_Click();
    void PushButton4_Click();
    void ListView1_Click();
    void Timer1_Timer();

    // History log.
    void PushButton3_Click();
    void PushButton5_Click();
    void PushButton12_Click();

    // Help and pointer feedback.
    void PushButton11_Click();
    void MouseMove(Control over);
    void Form_MouseMove();

    bool LoadingSettings() const { return loadingSettings_; }
    bool HiddenToTray() const { return hiddenToTray_; }
    const std::string& BackupExtension() const { return backupExtension_; }
    const std::string& HistoryLogPath() const { return historyLogPath_; }
    const std::string& ApplicationTitle() const { return appTitle_; }
    // True once the program was told to end.
    bool Ended() const { return ended_; }

    Scheduler& scheduler() { return scheduler_; }
    cSysTray& cSysTray1() { return tray_; }

  private:
    void SelectOption(Option option);
    void StoreOption(Option option);
    void StoreCheck(CheckBox box);
    void StorePath();
    void ApplyCheck(CheckBox box, int value);
    void Minimize();
    void RunBackup(RunCause cause);
    void HandleCheck5();
    void End();
    HistoryActions History();
    template <class Body>
    void Guarded(std::string_view procedure, Body&& body);

    FormView& view_;
    Form1Services services_;
    Scheduler scheduler_;
    cSysTray tray_;
    bool loadingSettings_ = false;
    bool hiddenToTray_ = false;
    bool ended_ = false;
    std::string backupExtension_;
    std::string historyLogPath_;
    std::string appTitle_;
};

}  // namespace sv
