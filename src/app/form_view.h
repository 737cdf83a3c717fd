#pragma once

#include <cstddef>
#include <string>

#include "common/dialogs.h"
#include "common/helpers.h"
#include "history/history_log.h"
#include "schedule/scheduler.h"

namespace sv {

// The controls of the main window that the window logic (Form1) reads and writes.
enum class Option { Option1 = 1, Option2, Option3, Option4 };
enum class CheckBox { Check5, Check8, Check9, Check10 };
enum class WindowState { Normal, Minimized };
// Default: the system arrow. Custom: the window's own pointer picture (the hand). Busy: the
// hourglass.
enum class Pointer { Default, Custom, Busy };

// The main window's controls, in the order they are created (also the tab order): top to
// bottom, with the frames last so they sit below the controls they enclose. The layout table
// is indexed by it.
enum class Control {
    PushButton4,
    ProgressBar1,
    Option1,
    Option2,
    Text1,
    PushButton1,
    Option3,
    Option4,
    Check5,
    Check8,
    Check9,
    Check10,
    ListView1,
    PushButton2,
    PushButton3,
    PushButton5,
    PushButton11,
    PushButton12,
    RichTextBox1,
    Frame2,
    Frame1,
    Frame3,
};
inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::Frame3) + 1;

// The main window as the logic sees it; the Windows side implements it with real controls,
// tests with a fake.
//
// No setter raises a handler by itself: Windows sends no notification for most programmatic
// changes, so Form1 calls its own handlers where a change must run one. The window routes
// only the user's actions (and WM_SIZE, WM_TIMER) to Form1. A WM_SIZE caused by
// SetWindowState may reach Form_Resize as well; that is harmless.
class FormView : public SchedulerView {
  public:
    // Option1..Option4. Selecting one clears the other of its group (Option1/2, Option3/4).
    virtual bool OptionSelected(Option option) = 0;
    virtual void SelectOption(Option option) = 0;

    // Check5, Check8, Check9 and Check10: 0 clear, 1 set.
    virtual int CheckValue(CheckBox box) = 0;
    virtual void SetCheckValue(CheckBox box, int value) = 0;
    virtual bool Check8Visible() = 0;
    virtual void SetCheck8Visible(bool visible) = 0;

    // Text1, the fixed backup folder. Setting the text must not reach Text1_Change
    // (suppress the EN_CHANGE that WM_SETTEXT sends).
    virtual std::string FolderText() = 0;
    virtual void SetFolderText(const std::string& text) = 0;

    // ListView1: one column (width in twips) and rows added at the end.
    virtual void AddListColumn(const std::string& heading, int widthTwips) = 0;
    virtual void AddListRow(const std::string& text) = 0;
    // Selects the row at a 1-based position; outside the rows it throws
    // Failure("Invalid property value") and the selection is unchanged.
    virtual void SelectListRow(int position) = 0;

    // The window itself.
    virtual void SetCaption(const std::string& text) = 0;
    // The application's own icon on the window.
    virtual void SetApplicationIcon() = 0;
    // Shows the window, not modal.
    virtual void Show() = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    // Normal must not show a hidden window.
    virtual WindowState GetWindowState() = 0;
    virtual void SetWindowState(WindowState state) = 0;
    virtual void Focus() = 0;
    virtual WindowHandle Handle() = 0;

    // The window's mouse pointer setting.
    virtual Pointer MousePointer() = 0;
    virtual void SetMousePointer(Pointer pointer) = 0;
    // Loads a cursor file as the window's custom pointer picture. Throws Failure.
    virtual void LoadCustomPointer(const std::string& path) = 0;

    // True when another copy of the program already runs for this user.
    virtual bool PreviousInstanceRunning() = 0;
    // Ends the program: the window goes without further events and the message loop ends.
    // Returns to the caller, which stops what it was doing.
    virtual void EndProgram() = 0;
    // Handles the window messages that are waiting, then returns.
    virtual void PumpEvents() = 0;

    // The skinning side of the window and the hidden copy buffer (RichTextBox1).
    virtual SkinHost& Skin() = 0;
    virtual CopyBuffer& HistoryBuffer() = 0;
};

}  // namespace sv
