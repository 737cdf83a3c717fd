#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/form_view.h"
#include "app/window_layout.h"
#include "common/handles_win32.h"
#include "common/helpers.h"
#include "history/copy_buffer_win32.h"
#include "history/history_log.h"
#include "platform/dialogs_win32.h"

namespace sv {
class Form1;
}

namespace sv::win32 {

// The window class of the main window; tests find the window by it and its caption.
inline constexpr wchar_t kMainWindowClass[] = L"StenvaultForm1";
// Control identifiers follow the layout table: the first control has kFirstControlId.
inline constexpr int kFirstControlId = 100;
// The identifier of the named control, -1 for an unknown name.
int ControlId(std::string_view name);
// Marks a running copy for this logged-on session.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\Stenvault.Instance";

// The main window Form1 with real controls. It is created hidden; Form1's start-up shows it.
// User actions, the timer and size changes go to the attached Form1.
//
//   MainWindow window(instance);
//   Form1 form(window, services);     // services.dialogs = window.Dialogs()
//   MainWindow::Attachment attached(window, form);
//   form.Form_Load();
//   return window.RunMessageLoop();
class MainWindow final : public FormView, public SkinHost {
  public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
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

    HWND Window() const { return window_.get(); }
    Win32Dialogs& Dialogs() { return dialogs_; }
    // Runs until the program ends; the exit code.
    int RunMessageLoop();

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
    Pointer MousePointer() override { return pointer_; }
    void SetMousePointer(Pointer pointer) override;
    void LoadCustomPointer(const std::string& path) override;
    bool PreviousInstanceRunning() override { return previousInstance_; }
    void EndProgram() override;
    void PumpEvents() override;
    SkinHost& Skin() override { return *this; }
    CopyBuffer& HistoryBuffer() override;

    // SkinHost. There is no skinning engine in this build: a skin file shows as the
    // button-face background, and the engine's calls only keep their values.
    void SetButtonFaceBackground() override;
    void LoadSkin(const std::string& path, const std::string& iniName) override {}
    std::int32_t SkinOptions() override { return skinOptions_; }
    void SetSkinOptions(std::int32_t options) override { skinOptions_ = options; }
    void SetSkinFlag(int property, bool value) override {}
    void ApplyToWindow() override;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    LRESULT OnNotify(NMHDR& header);
    LRESULT DrawListItem(NMLVCUSTOMDRAW& draw);
    bool OnSetCursor(HWND over, int hitTest);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnActivate(bool active);

    void CreateControls();
    void Layout();
    void LoadIcons();
    void UpdateFont();
    HWND Control(std::string_view name) const;
    HWND OptionWindow(Option option) const;
    HWND CheckWindow(CheckBox box) const;
    std::optional<sv::Control> SourceOf(HWND window) const;
    HCURSOR CursorFor(Pointer pointer) const;
    HBRUSH Background() const;
    std::optional<int> SelectedIndex() const;
    LRESULT DefaultButton() const;

    HINSTANCE instance_;
    UniqueHandle instanceMutex_;
    bool previousInstance_ = false;
    UniqueWindow window_;
    std::array<HWND, kFormControls.size()> controls_{};
    int dpi_ = 96;
    UniqueGdiObject font_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    // The tray picture: 16 x 16 whatever the DPI, kept alive while the icon may show it.
    UniqueIcon trayIcon_;
    UniqueCursor customCursor_;
    Win32Dialogs dialogs_;
    // RichTextBox1: the hidden edit that carries the log to the clipboard.
    std::optional<EditCopyBuffer> copyBuffer_;
    Form1* form_ = nullptr;

    int timerInterval_ = 0;
    Pointer pointer_ = Pointer::Default;
    bool buttonFace_ = false;
    std::int32_t skinOptions_ = 0;
    int listColumnTwips_ = 0;
    int lastSelectedRow_ = -1;
    bool selectingRow_ = false;
    bool settingFolderText_ = false;
    // A hidden window that was minimised and has been set back to normal: restored when shown.
    bool restorePending_ = false;
    HWND lastFocus_ = nullptr;
};

}  // namespace sv::win32
