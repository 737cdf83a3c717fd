#include "app/main_window_win32.h"

#include "app/form1.h"
#include "common/product.h"
#include "common/text_win32.h"

namespace sv::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;

HBRUSH BackgroundOf(void* shell) {
    return static_cast<WindowShell*>(shell)->BackgroundBrush();
}

// The other option of a pair.
Option PartnerOf(Option option) {
    switch (option) {
        case Option::Option1:
            return Option::Option2;
        case Option::Option2:
            return Option::Option1;
        case Option::Option3:
            return Option::Option4;
        case Option::Option4:
            break;
    }
    return Option::Option3;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : shell_(instance) {
    dialogs_.SetOwner(shell_.Window());
    copyBuffer_.emplace(shell_.Window());
    shell_.Adopt(sv::Control::RichTextBox1, copyBuffer_->window());
    list_.SetWindow(Control(sv::Control::ListView1));
    list_.SetRedraw(false);
    countdown_.Attach(Control(sv::Control::Frame2), Control(sv::Control::ProgressBar1),
                      &BackgroundOf, &shell_);
    shell_.SetEvents(this);
}

MainWindow::~MainWindow() {
    form_ = nullptr;
    shell_.SetEvents(nullptr);
    if (shell_.Window()) {
        ::KillTimer(shell_.Window(), kTimer1);
    }
    // Before the window it lives in goes.
    copyBuffer_.reset();
    shell_.Destroy();
}

MainWindow::Attachment::Attachment(MainWindow& window, Form1& form) : window_(window) {
    window.form_ = &form;
    TrayLayout layout;
    layout.Write("intray", false);
    layout.Write("trayicon", std::optional<TrayPicture>(TrayPicture{
                                 reinterpret_cast<std::uintptr_t>(window.shell_.TrayIcon())}));
    layout.Write("traytip", std::string(kProductName));
    form.cSysTray1().Load(layout);
}

MainWindow::Attachment::~Attachment() {
    window_.form_ = nullptr;
}

void MainWindow::EndProgram() {
    // Nothing more reaches the logic: the window goes without further events. A run still in
    // progress below ends soon, with nobody left to read its reports.
    form_ = nullptr;
    if (ending_) {
        ending_->Closing();
    }
    dialogs_.Silence(true);
    if (shell_.Window()) {
        ::KillTimer(shell_.Window(), kTimer1);
        timerInterval_ = 0;
        copyBuffer_.reset();
        shell_.Destroy();
    }
    ::PostQuitMessage(0);
}

std::optional<LRESULT> MainWindow::OnEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam != 0) {
                if (std::optional<sv::Control> control = ControlOfId(LOWORD(wParam))) {
                    OnCommand(*control, HIWORD(wParam));
                }
            }
            return 0;
        case WM_NOTIFY: {
            auto& header = *reinterpret_cast<NMHDR*>(lParam);
            if (header.hwndFrom != list_.Window()) {
                return 0;
            }
            return list_.OnNotify(header, [this] {
                if (form_) {
                    form_->ListView1_Click();
                }
            });
        }
        case WM_TIMER:
            if (wParam == kTimer1 && form_) {
                form_->Timer1_Timer();
            }
            return 0;
        case WM_SIZE:
            if (form_) {
                form_->Form_Resize();
            }
            return 0;
        case WM_SETCURSOR:
            if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
                return TRUE;
            }
            break;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_QUERYENDSESSION:
            return !ending_ || ending_->QueryEndSession();
        case WM_ENDSESSION:
            if (ending_) {
                ending_->EndSession(wParam != 0);
            }
            // Windows is going down: take the icon away as a close would.
            if (wParam && form_) {
                form_->Form_QueryUnload();
            }
            return 0;
        default:
            break;
    }
    return std::nullopt;
}

void MainWindow::OnClose() {
    if (form_) {
        form_->Form_QueryUnload();
        if (form_) {
            form_->Form_Unload();
        }
    }
    if (shell_.Window()) {
        EndProgram();
    }
}

void MainWindow::BlockShutdown(const std::string& reason) {
    if (shell_.Window()) {
        ::ShutdownBlockReasonCreate(shell_.Window(), Widen(reason).c_str());
    }
}

void MainWindow::AllowShutdown() {
    if (shell_.Window()) {
        ::ShutdownBlockReasonDestroy(shell_.Window());
    }
}

void MainWindow::Close() {
    if (shell_.Window()) {
        ::PostMessageW(shell_.Window(), WM_CLOSE, 0, 0);
    }
}

void MainWindow::OnCommand(sv::Control control, int code) {
    if (!form_) {
        return;
    }
    Form1& form = *form_;
    if (control == sv::Control::Text1) {
        if (code == EN_CHANGE && !settingFolderText_) {
            form.Text1_Change();
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    switch (control) {
        case sv::Control::PushButton1:
            form.PushButton1_Click();
            break;
        case sv::Control::PushButton2:
            form.PushButton2_Click();
            break;
        case sv::Control::PushButton3:
            form.PushButton3_Click();
            break;
        case sv::Control::PushButton4:
            form.PushButton4_Click();
            break;
        case sv::Control::PushButton5:
            form.PushButton5_Click();
            break;
        case sv::Control::PushButton11:
            form.PushButton11_Click();
            break;
        case sv::Control::PushButton12:
            form.PushButton12_Click();
            break;
        case sv::Control::Option1:
            form.Option1_Click();
            break;
        case sv::Control::Option2:
            form.Option2_Click();
            break;
        case sv::Control::Option3:
            form.Option3_Click();
            break;
        case sv::Control::Option4:
            form.Option4_Click();
            break;
        case sv::Control::Check5:
            form.Check5_Click();
            break;
        case sv::Control::Check8:
            form.Check8_Click();
            break;
        case sv::Control::Check9:
            form.Check9_Click();
            break;
        case sv::Control::Check10:
            form.Check10_Click();
            break;
        default:
            break;
    }
}

bool MainWindow::OnSetCursor(HWND over, int hitTest) {
    HWND window = shell_.Window();
    if (hitTest != HTCLIENT || !window) {
        return false;
    }
    if (form_) {
        if (over == window) {
            form_->Form_MouseMove();
        } else if (std::optional<sv::Control> control = shell_.ControlOf(over)) {
            form_->MouseMove(*control);
        }
    }
    pointer_.Show();
    return true;
}

HWND MainWindow::OptionWindow(Option option) const {
    switch (option) {
        case Option::Option1:
            return Control(sv::Control::Option1);
        case Option::Option2:
            return Control(sv::Control::Option2);
        case Option::Option3:
            return Control(sv::Control::Option3);
        case Option::Option4:
            return Control(sv::Control::Option4);
    }
    return nullptr;
}

HWND MainWindow::CheckWindow(CheckBox box) const {
    switch (box) {
        case CheckBox::Check5:
            return Control(sv::Control::Check5);
        case CheckBox::Check8:
            return Control(sv::Control::Check8);
        case CheckBox::Check9:
            return Control(sv::Control::Check9);
        case CheckBox::Check10:
            return Control(sv::Control::Check10);
    }
    return nullptr;
}

std::string MainWindow::ToggleCaption() {
    return Narrow(WindowTextOf(Control(sv::Control::PushButton4)));
}

void MainWindow::SetToggleCaption(const std::string& text) {
    HWND button = Control(sv::Control::PushButton4);
    std::wstring wide = Widen(text);
    if (WindowTextOf(button) != wide) {
        ::SetWindowTextW(button, wide.c_str());
    }
}

void MainWindow::SetTimerInterval(int milliseconds) {
    timerInterval_ = milliseconds > 0 ? milliseconds : 0;
    HWND window = shell_.Window();
    if (!window) {
        return;
    }
    if (timerInterval_ > 0) {
        ::SetTimer(window, kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    } else {
        ::KillTimer(window, kTimer1);
    }
}

void MainWindow::SetStatus(const std::string& text) {
    countdown_.SetStatus(Widen(text));
}

void MainWindow::SetProgressMax(int maximum) {
    countdown_.SetMaximum(maximum);
}

void MainWindow::SetProgressPosition(int position) {
    countdown_.SetPosition(position);
}

std::optional<std::string> MainWindow::SelectedRowText() {
    return list_.SelectedText();
}

std::optional<int> MainWindow::SelectedRowNumber() {
    std::optional<int> index = list_.SelectedIndex();
    if (!index) {
        return std::nullopt;
    }
    return *index + 1;
}

bool MainWindow::OptionSelected(Option option) {
    return ::SendMessageW(OptionWindow(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SelectOption(Option option) {
    ::SendMessageW(OptionWindow(PartnerOf(option)), BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(OptionWindow(option), BM_SETCHECK, BST_CHECKED, 0);
}

int MainWindow::CheckValue(CheckBox box) {
    return static_cast<int>(::SendMessageW(CheckWindow(box), BM_GETCHECK, 0, 0));
}

void MainWindow::SetCheckValue(CheckBox box, int value) {
    ::SendMessageW(CheckWindow(box), BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::Check8Visible() {
    return (::GetWindowLongW(Control(sv::Control::Check8), GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainWindow::SetCheck8Visible(bool visible) {
    ::ShowWindow(Control(sv::Control::Check8), visible ? SW_SHOWNA : SW_HIDE);
}

std::string MainWindow::FolderText() {
    return Narrow(WindowTextOf(Control(sv::Control::Text1)));
}

void MainWindow::SetFolderText(const std::string& text) {
    settingFolderText_ = true;
    ::SetWindowTextW(Control(sv::Control::Text1), Widen(text).c_str());
    settingFolderText_ = false;
}

void MainWindow::AddListColumn(const std::string& heading, int widthTwips) {
    list_.AddColumn(heading, widthTwips, shell_.Dpi());
}

void MainWindow::AddListRow(const std::string& text) {
    list_.AddRow(text);
}

void MainWindow::SelectListRow(int position) {
    list_.SelectRow(position);
}

void MainWindow::SetCaption(const std::string& text) {
    ::SetWindowTextW(shell_.Window(), Widen(text).c_str());
}

void MainWindow::SetApplicationIcon() {
    shell_.ApplyIcons();
}

void MainWindow::Show() {
    HWND window = shell_.Window();
    if (!window) {
        return;
    }
    if (listRedrawPending_) {
        listRedrawPending_ = false;
        list_.SetRedraw(true);
    }
    if (restorePending_) {
        restorePending_ = false;
        ::ShowWindow(window, SW_RESTORE);
    } else if (!::IsWindowVisible(window)) {
        ::ShowWindow(window, SW_SHOW);
    }
    ::UpdateWindow(window);
}

bool MainWindow::Visible() {
    return shell_.Window() && ::IsWindowVisible(shell_.Window());
}

void MainWindow::SetVisible(bool visible) {
    if (visible) {
        Show();
    } else if (shell_.Window()) {
        ::ShowWindow(shell_.Window(), SW_HIDE);
    }
}

WindowState MainWindow::GetWindowState() {
    if (shell_.Window() && ::IsIconic(shell_.Window()) && !restorePending_) {
        return WindowState::Minimized;
    }
    return WindowState::Normal;
}

void MainWindow::SetWindowState(WindowState state) {
    HWND window = shell_.Window();
    if (!window) {
        return;
    }
    if (state == WindowState::Minimized) {
        restorePending_ = false;
        ::ShowWindow(window, SW_MINIMIZE);
        return;
    }
    if (!::IsIconic(window)) {
        return;
    }
    if (::IsWindowVisible(window)) {
        ::ShowWindow(window, SW_RESTORE);
    } else {
        // Restoring now would show the window; it comes back restored when next shown.
        restorePending_ = true;
    }
}

void MainWindow::Focus() {
    HWND window = shell_.Window();
    if (!window) {
        return;
    }
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
}

WindowHandle MainWindow::Handle() {
    return reinterpret_cast<WindowHandle>(shell_.Window());
}

void MainWindow::SetMousePointer(Pointer pointer) {
    pointer_.Set(pointer, shell_.Window());
}

void MainWindow::LoadCustomPointer(const std::string& path) {
    pointer_.LoadCustom(path);
}

CopyBuffer& MainWindow::HistoryBuffer() {
    if (!copyBuffer_) {
        // The window is gone: a buffer of its own still serves.
        copyBuffer_.emplace(nullptr);
    }
    return *copyBuffer_;
}

void MainWindow::SetButtonFaceBackground() {
    shell_.SetSkinned(true);
    shell_.Repaint();
}

}  // namespace sv::win32
