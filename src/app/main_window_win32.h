#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/countdown_display_win32.h"
#include "app/form_view.h"
#include "app/instance_guard_win32.h"
#include "app/interval_list_win32.h"
#include "app/pointer_win32.h"
#include "app/session_end.h"
#include "app/window_shell_win32.h"
#include "common/helpers.h"
#include "history/copy_buffer_win32.h"
#include "history/history_log.h"
#include "platform/dialogs_win32.h"

namespace sv {
class Form1;
}

namespace sv::win32 {

// The main window Form1 with real controls, as the logic sees it. It is created hidden;
// Form1's start-up shows it. User actions, the timer and size changes go to the attached
// Form1, each dispatched by the control it came from.
//
//   MainWindow window(instance);
//   Form1 form(window, services);     // services.dialogs = window.Dialogs()
//   MainWindow::Attachment attached(window, form);
//   form.Form_Load();
//   return window.RunMessageLoop();
class MainWindow final : public FormView,
                         public SkinHost,
                         private WindowEvents,
                         private EndingWindow {
  public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Routes the window's events to a Form1 for the attachment's life, and hands the tray
    // component its stored layout (the blue icon) before start-up runs.
    class Attachment {
      public:
        Attachment(MainWindow& window, Form1& form);
        ~Attachment();
        Attachment(const Attachment&) = delete;
        Attachment& operator=(const Attachment&) = delete;

      private:
        MainWindow& window_;
    };

    HWND Window() const { return shell_.Window(); }
    Win32Dialogs& Dialogs() { return dialogs_; }
    // Runs until the program ends; the exit code.
    int RunMessageLoop() { return shell_.RunMessageLoop(); }

    // The backup run the window's ending must wait for, and the word that one has returned.
    void WatchRun(RunInProgress& run) { ending_.emplace(run, static_cast<EndingWindow&>(*this)); }
    void RunReturned() {
        if (ending_) {
            ending_->RunReturned();
        }
    }

    // SchedulerView
    std::string ToggleCaption() override;
    void SetToggleCaption(const std::string& text) override;
    int TimerInterval() override { return timerInterval_; }
    void SetTimerInterval(int milliseconds) override;
    void SetStatus(const std::string& text) override;
    void SetProgressMax(int maximum) override;
    void SetProgressPosition(int position) override;
    std::optional<std::string> SelectedRowText() override;
    std::optional<int> SelectedRowNumber() override;

    // FormView
    bool OptionSelected(Option option) override;
    void SelectOption(Option option) override;
    int CheckValue(CheckBox box) override;
    void SetCheckValue(CheckBox box, int value) override;
    bool Check8Visible() override;
    void SetCheck8Visible(bool visible) override;
    std::string FolderText() override;
    void SetFolderText(const std::string& text) override;
    void AddListColumn(const std::string& heading, int widthTwips) override;
    void AddListRow(const std::string& text) override;
    void SelectListRow(int position) override;
    void SetCaption(const std::string& text) override;
    void SetApplicationIcon() override;
    void Show() override;
    bool Visible() override;
    void SetVisible(bool visible) override;
    WindowState GetWindowState() override;
    void SetWindowState(WindowState state) override;
    void Focus() override;
    WindowHandle Handle() override;
    Pointer MousePointer() override { return pointer_.Setting(); }
    void SetMousePointer(Pointer pointer) override;
    void LoadCustomPointer(const std::string& path) override;
    bool PreviousInstanceRunning() override { return instance_.PreviousInstanceRunning(); }
    void EndProgram() override;
    void PumpEvents() override { shell_.PumpEvents(); }
    SkinHost& Skin() override { return *this; }
    CopyBuffer& HistoryBuffer() override;

    // SkinHost. There is no skinning engine in this build: a skin file shows as the
    // button-face background, and the engine's calls only keep their values.
    void SetButtonFaceBackground() override;
    void LoadSkin(const std::string& path, const std::string& iniName) override {}
    std::int32_t SkinOptions() override { return skinOptions_; }
    void SetSkinOptions(std::int32_t options) override { skinOptions_ = options; }
    void SetSkinFlag(int property, bool value) override {}
    void ApplyToWindow() override { shell_.Repaint(); }

  private:
    std::optional<LRESULT> OnEvent(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnRescaled(int dpi) override { list_.Rescale(dpi); }
    void OnCommand(sv::Control control, int code);
    void OnClose();
    bool OnSetCursor(HWND over, int hitTest);
    HWND OptionWindow(Option option) const;
    HWND CheckWindow(CheckBox box) const;
    HWND Control(sv::Control control) const { return shell_.Control(control); }

    // EndingWindow
    void BlockShutdown(const std::string& reason) override;
    void AllowShutdown() override;
    void SilenceDialogs(bool silent) override { dialogs_.Silence(silent); }
    void Close() override;

    InstanceGuard instance_;
    WindowShell shell_;
    Win32Dialogs dialogs_;
    IntervalList list_;
    CountdownDisplay countdown_;
    WindowPointer pointer_;
    // RichTextBox1: the hidden edit that carries the log to the clipboard.
    std::optional<EditCopyBuffer> copyBuffer_;
    Form1* form_ = nullptr;
    std::optional<SessionEnd> ending_;

    int timerInterval_ = 0;
    std::int32_t skinOptions_ = 0;
    bool settingFolderText_ = false;
    // A hidden window that was minimised and has been set back to normal: restored when shown.
    bool restorePending_ = false;
    // Start-up fills the interval list row by row before the window is first shown; the list
    // lays itself out once, when it is, rather than after every row.
    bool listRedrawPending_ = true;
};

}  // namespace sv::win32
