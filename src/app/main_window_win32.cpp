#include "app/main_window_win32.h"

#include <commctrl.h>

#include <string_view>

#include "app/form1.h"
#include "app/res/resource.h"
#include "common/failure.h"
#include "common/product.h"
#include "common/text_win32.h"

namespace sv::win32 {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

int IndexOf(std::string_view name) {
    const ControlSpec* control = FindControl(name);
    return control ? static_cast<int>(control - kFormControls.data()) : -1;
}

bool IsPushButton(int index) {
    return index >= 0 && kFormControls[index].kind == ControlKind::PushButton;
}

struct WindowKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowKind KindOf(const ControlSpec& entry) {
    switch (entry.kind) {
        case ControlKind::PushButton:
            return {WC_BUTTONW, BS_PUSHBUTTON, 0};
        case ControlKind::Frame:
            // Below the controls it encloses, so it must not paint over them.
            return {WC_BUTTONW, BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::ProgressBar:
            return {PROGRESS_CLASSW, 0, 0};
        case ControlKind::OptionButton:
            return {WC_BUTTONW, BS_AUTORADIOBUTTON, 0};
        case ControlKind::CheckBox:
            return {WC_BUTTONW, BS_AUTOCHECKBOX, 0};
        case ControlKind::TextBox:
            return {WC_EDITW, ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE};
        case ControlKind::List:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                    WS_EX_CLIENTEDGE};
        case ControlKind::CopyBuffer:
            break;
    }
    return {WC_STATICW, 0, 0};
}

std::wstring WindowTextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

int ControlId(std::string_view name) {
    int index = IndexOf(name);
    return index >= 0 ? kFirstControlId + index : -1;
}

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {
    // The mutex lives as long as this window; a copy started meanwhile finds it.
    instanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    previousInstance_ = ::GetLastError() == ERROR_ALREADY_EXISTS;

    LoadIcons();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainWindow::Procedure;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_.get();
    wc.hIconSm = smallIcon_.get();
    wc.lpszClassName = kMainWindowClass;
    ::RegisterClassExW(&wc);

    // The caption comes with start-up, so a copy that ends at once leaves no titled window.
    HWND window =
        ::CreateWindowExW(kWindowExStyle, kMainWindowClass, L"", kWindowStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, this);
    if (!window) {
        throw Failure(SystemMessage(::GetLastError()));
    }
    dpi_ = static_cast<int>(::GetDpiForWindow(window));
    if (dpi_ <= 0) {
        dpi_ = 96;
    }
    dialogs_.SetOwner(window);

    RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpi_),
               TwipsToPixels(kClientHeightTwips, dpi_)};
    ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = work.left + ((work.right - work.left) - width) / 2;
    int top = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(window, nullptr, left, top > work.top ? top : work.top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);

    UpdateFont();
    CreateControls();
}

MainWindow::~MainWindow() {
    form_ = nullptr;
    if (window_) {
        ::KillTimer(window_.get(), kTimer1);
    }
    // Before the font and icons it uses go.
    copyBuffer_.reset();
    window_.reset();
}

MainWindow::Attachment::Attachment(MainWindow& window, Form1& form) : window_(window) {
    window.form_ = &form;
    TrayLayout layout;
    layout.Write("intray", false);
    layout.Write("trayicon", std::optional<TrayPicture>(TrayPicture{
                                 reinterpret_cast<std::uintptr_t>(window.trayIcon_.get())}));
    layout.Write("traytip", std::string(kProductName));
    form.cSysTray1().Load(layout);
}

MainWindow::Attachment::~Attachment() {
    window_.form_ = nullptr;
}

void MainWindow::LoadIcons() {
    auto load = [this](int size) {
        return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_STENVAULT),
                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    int dpi = dpi_ > 0 ? dpi_ : 96;
    bigIcon_.reset(load(::GetSystemMetricsForDpi(SM_CXICON, dpi)));
    smallIcon_.reset(load(::GetSystemMetricsForDpi(SM_CXSMICON, dpi)));
    if (!trayIcon_) {
        trayIcon_.reset(load(16));
    }
}

void MainWindow::UpdateFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                      static_cast<UINT>(dpi_))) {
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        metrics.lfMessageFont.lfHeight =
            ::MulDiv(metrics.lfMessageFont.lfHeight, dpi_, static_cast<int>(::GetDpiForSystem()));
    }
    font_.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
}

void MainWindow::CreateControls() {
    HWND parent = window_.get();
    for (std::size_t i = 0; i < kFormControls.size(); ++i) {
        const ControlSpec& entry = kFormControls[i];
        PixelRect px = ToPixels(ClientTwips(entry), dpi_);
        if (entry.kind == ControlKind::CopyBuffer) {
            copyBuffer_.emplace(parent);
            controls_[i] = copyBuffer_->window();
            ::SetWindowLongPtrW(controls_[i], GWLP_ID, kFirstControlId + static_cast<LONG_PTR>(i));
            ::SetWindowPos(controls_[i], nullptr, px.left, px.top, px.width, px.height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            continue;
        }
        WindowKind kind = KindOf(entry);
        DWORD style = WS_CHILD | WS_VISIBLE | kind.style;
        if (StartsGroup(entry)) {
            style |= WS_GROUP;
        }
        if (TakesTabStop(entry)) {
            style |= WS_TABSTOP;
        }
        controls_[i] = ::CreateWindowExW(
            kind.exStyle, kind.className, Widen(entry.caption).c_str(), style, px.left, px.top,
            px.width, px.height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance_, nullptr);
        ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    HWND list = Control("ListView1");
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    ::SendMessageW(Control("ProgressBar1"), PBM_SETRANGE32, 0, 100);
}

void MainWindow::Layout() {
    for (std::size_t i = 0; i < kFormControls.size(); ++i) {
        PixelRect px = ToPixels(ClientTwips(kFormControls[i]), dpi_);
        ::SetWindowPos(controls_[i], nullptr, px.left, px.top, px.width, px.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    if (listColumnTwips_ > 0) {
        ListView_SetColumnWidth(Control("ListView1"), 0, TwipsToPixels(listColumnTwips_, dpi_));
    }
}

HWND MainWindow::Control(std::string_view name) const {
    int index = IndexOf(name);
    return index >= 0 ? controls_[static_cast<std::size_t>(index)] : nullptr;
}

HWND MainWindow::OptionWindow(Option option) const {
    switch (option) {
        case Option::Option1:
            return Control("Option1");
        case Option::Option2:
            return Control("Option2");
        case Option::Option3:
            return Control("Option3");
        case Option::Option4:
            return Control("Option4");
    }
    return nullptr;
}

HWND MainWindow::CheckWindow(CheckBox box) const {
    return Control(box == CheckBox::Check5 ? "Check5" : "Check8");
}

std::optional<sv::Control> MainWindow::SourceOf(HWND window) const {
    if (window == window_.get()) {
        return sv::Control::Form;
    }
    for (std::size_t i = 0; i < kFormControls.size(); ++i) {
        if (controls_[i] == window) {
            return kFormControls[i].source;
        }
    }
    // A control's inner window, such as the list's column header, counts as the control.
    HWND parent = ::GetParent(window);
    if (parent && parent != window_.get() && parent != window) {
        return SourceOf(parent);
    }
    return std::nullopt;
}

HCURSOR MainWindow::CursorFor(Pointer pointer) const {
    switch (pointer) {
        case Pointer::Busy:
            return ::LoadCursorA(nullptr, IDC_WAIT);
        case Pointer::Custom:
            return customCursor_ ? customCursor_.get() : ::LoadCursorA(nullptr, IDC_HAND);
        case Pointer::Default:
            break;
    }
    return ::LoadCursorA(nullptr, IDC_ARROW);
}

HBRUSH MainWindow::Background() const {
    return buttonFace_ ? ::GetSysColorBrush(COLOR_BTNFACE)
                       : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

int MainWindow::RunMessageLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window_ && ::IsDialogMessageW(window_.get(), &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void MainWindow::PumpEvents() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave it for the main loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (window_ && ::IsDialogMessageW(window_.get(), &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void MainWindow::EndProgram() {
    // Nothing more reaches the logic: the window goes without further events.
    form_ = nullptr;
    if (window_) {
        ::KillTimer(window_.get(), kTimer1);
        timerInterval_ = 0;
        copyBuffer_.reset();
        window_.reset();
        controls_.fill(nullptr);
    }
    ::PostQuitMessage(0);
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->window_.get() == window) {
            self->window_.release();
        }
        self->controls_.fill(nullptr);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
        case WM_COMMAND:
            if (lParam != 0) {
                OnCommand(LOWORD(wParam), HIWORD(wParam));
            }
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
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
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(window, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, Background());
            return 1;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            auto dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, buttonFace_ ? ::GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255));
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(Background());
        }
        case WM_CLOSE:
            if (form_) {
                form_->Form_QueryUnload();
                if (form_) {
                    form_->Form_Unload();
                }
            }
            if (window_) {
                EndProgram();
            }
            return 0;
        case WM_ENDSESSION:
            // Windows is going down: take the icon away as a close would.
            if (wParam && form_) {
                form_->Form_QueryUnload();
            }
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETNONCLIENTMETRICS) {
                // The user picked another message font.
                UniqueGdiObject oldFont = std::move(font_);
                UpdateFont();
                Layout();
            }
            break;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case DM_GETDEFID:
            return DefaultButton();
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void MainWindow::OnCommand(int id, int code) {
    int index = id - kFirstControlId;
    if (!form_ || index < 0 || index >= static_cast<int>(kFormControls.size())) {
        return;
    }
    std::string_view name = kFormControls[static_cast<std::size_t>(index)].name;
    Form1& form = *form_;
    if (name == "Text1") {
        if (code == EN_CHANGE && !settingFolderText_) {
            form.Text1_Change();
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    if (name == "PushButton1") {
        form.PushButton1_Click();
    } else if (name == "PushButton2") {
        form.PushButton2_Click();
    } else if (name == "PushButton3") {
        form.PushButton3_Click();
    } else if (name == "PushButton4") {
        form.PushButton4_Click();
    } else if (name == "PushButton5") {
        form.PushButton5_Click();
    } else if (name == "PushButton11") {
        form.PushButton11_Click();
    } else if (name == "PushButton12") {
        form.PushButton12_Click();
    } else if (name == "Option1") {
        form.Option1_Click();
    } else if (name == "Option2") {
        form.Option2_Click();
    } else if (name == "Option3") {
        form.Option3_Click();
    } else if (name == "Option4") {
        form.Option4_Click();
    } else if (name == "Check5") {
        form.Check5_Click();
    } else if (name == "Check8") {
        form.Check8_Click();
    }
}

LRESULT MainWindow::OnNotify(NMHDR& header) {
    HWND list = Control("ListView1");
    if (header.hwndFrom != list) {
        return 0;
    }
    if (header.code == NM_CUSTOMDRAW) {
        return DrawListItem(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    }
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        bool nowSelected = (change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
                           !(change.uOldState & LVIS_SELECTED) && change.iItem >= 0;
        if (nowSelected) {
            lastSelectedRow_ = change.iItem;
            // A row chosen with the keyboard counts as a click: otherwise the choice would not
            // be stored and a count already past the new interval would never start a backup.
            bool byMouse = (::GetKeyState(VK_LBUTTON) & 0x8000) != 0;
            if (!selectingRow_ && !byMouse && form_) {
                form_->ListView1_Click();
            }
        }
    } else if (header.code == NM_CLICK && form_) {
        // A click on blank space or a Ctrl+click would leave no interval at all; keep the row.
        if (!SelectedIndex() && lastSelectedRow_ >= 0 &&
            lastSelectedRow_ < ListView_GetItemCount(list)) {
            selectingRow_ = true;
            ListView_SetItemState(list, lastSelectedRow_, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            selectingRow_ = false;
        }
        form_->ListView1_Click();
    }
    return 0;
}

LRESULT MainWindow::DrawListItem(NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    // The chosen interval stays plainly marked while another control has the focus.
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.uItemState & CDIS_SELECTED) &&
        ::GetFocus() != draw.nmcd.hdr.hwndFrom) {
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
        draw.clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
        draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    return CDRF_DODEFAULT;
}

bool MainWindow::OnSetCursor(HWND over, int hitTest) {
    if (hitTest != HTCLIENT || !window_) {
        return false;
    }
    if (form_) {
        if (std::optional<sv::Control> source = SourceOf(over)) {
            form_->MouseMove(*source);
        }
    }
    ::SetCursor(CursorFor(pointer_));
    return true;
}

void MainWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi > 0 ? dpi : 96;
    HWND window = window_.get();
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The controls hold the old font until Layout hands them the new one.
    UniqueGdiObject oldFont = std::move(font_);
    UpdateFont();
    Layout();
    // The class keeps the old icons until it is given the new ones, which it then shares.
    UniqueIcon oldBig = std::move(bigIcon_);
    UniqueIcon oldSmall = std::move(smallIcon_);
    LoadIcons();
    ::SetClassLongPtrW(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(bigIcon_.get()));
    ::SetClassLongPtrW(window, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(smallIcon_.get()));
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    ::InvalidateRect(window, nullptr, TRUE);
}

void MainWindow::OnActivate(bool active) {
    HWND window = window_.get();
    if (!active) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(window, focus)) {
            lastFocus_ = focus;
        }
        return;
    }
    HWND target = lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_)
                      ? lastFocus_
                      : ::GetNextDlgTabItem(window, nullptr, FALSE);
    if (target) {
        ::SetFocus(target);
    }
}

LRESULT MainWindow::DefaultButton() const {
    // Enter presses the focused push button.
    HWND focus = ::GetFocus();
    for (std::size_t i = 0; i < kFormControls.size(); ++i) {
        if (controls_[i] == focus && IsPushButton(static_cast<int>(i))) {
            return MAKELRESULT(kFirstControlId + i, DC_HASDEFID);
        }
    }
    return 0;
}

std::string MainWindow::ToggleCaption() {
    return Narrow(WindowTextOf(Control("PushButton4")));
}

void MainWindow::SetToggleCaption(const std::string& text) {
    ::SetWindowTextW(Control("PushButton4"), Widen(text).c_str());
}

void MainWindow::SetTimerInterval(int milliseconds) {
    timerInterval_ = milliseconds > 0 ? milliseconds : 0;
    if (!window_) {
        return;
    }
    if (timerInterval_ > 0) {
        ::SetTimer(window_.get(), kTimer1, static_cast<UINT>(timerInterval_), nullptr);
    } else {
        ::KillTimer(window_.get(), kTimer1);
    }
}

void MainWindow::SetStatus(const std::string& text) {
    HWND frame = Control("Frame2");
    if (!frame) {
        return;
    }
    std::wstring wide = Widen(text);
    if (WindowTextOf(frame) == wide) {
        return;
    }
    ::SetWindowTextW(frame, wide.c_str());
    // The group box draws its caption without clearing the old one; clear its strip first.
    RECT strip;
    ::GetWindowRect(frame, &strip);
    ::MapWindowPoints(nullptr, window_.get(), reinterpret_cast<POINT*>(&strip), 2);
    strip.bottom =
        strip.top + TwipsToPixels(kFormControls[IndexOf("ProgressBar1")].place.top, dpi_);
    ::RedrawWindow(window_.get(), &strip, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MainWindow::SetProgressMax(int maximum) {
    ::SendMessageW(Control("ProgressBar1"), PBM_SETRANGE32, 0, maximum);
}

void MainWindow::SetProgressPosition(int position) {
    ::SendMessageW(Control("ProgressBar1"), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::optional<int> MainWindow::SelectedIndex() const {
    HWND list = Control("ListView1");
    if (!list) {
        return std::nullopt;
    }
    int index = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (index < 0) {
        return std::nullopt;
    }
    return index;
}

std::optional<std::string> MainWindow::SelectedRowText() {
    std::optional<int> index = SelectedIndex();
    if (!index) {
        return std::nullopt;
    }
    std::wstring text(260, L'\0');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    auto length = ::SendMessageW(Control("ListView1"), LVM_GETITEMTEXTW,
                                 static_cast<WPARAM>(*index), reinterpret_cast<LPARAM>(&item));
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

std::optional<int> MainWindow::SelectedRowNumber() {
    std::optional<int> index = SelectedIndex();
    if (!index) {
        return std::nullopt;
    }
    return *index + 1;
}

bool MainWindow::OptionSelected(Option option) {
    return ::SendMessageW(OptionWindow(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SelectOption(Option option) {
    Option partner;
    switch (option) {
        case Option::Option1:
            partner = Option::Option2;
            break;
        case Option::Option2:
            partner = Option::Option1;
            break;
        case Option::Option3:
            partner = Option::Option4;
            break;
        default:
            partner = Option::Option3;
            break;
    }
    ::SendMessageW(OptionWindow(partner), BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendMessageW(OptionWindow(option), BM_SETCHECK, BST_CHECKED, 0);
}

int MainWindow::CheckValue(CheckBox box) {
    return static_cast<int>(::SendMessageW(CheckWindow(box), BM_GETCHECK, 0, 0));
}

void MainWindow::SetCheckValue(CheckBox box, int value) {
    ::SendMessageW(CheckWindow(box), BM_SETCHECK, value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::Check8Visible() {
    return (::GetWindowLongW(Control("Check8"), GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainWindow::SetCheck8Visible(bool visible) {
    ::ShowWindow(Control("Check8"), visible ? SW_SHOWNA : SW_HIDE);
}

std::string MainWindow::FolderText() {
    return Narrow(WindowTextOf(Control("Text1")));
}

void MainWindow::SetFolderText(const std::string& text) {
    settingFolderText_ = true;
    ::SetWindowTextW(Control("Text1"), Widen(text).c_str());
    settingFolderText_ = false;
}

void MainWindow::AddListColumn(const std::string& heading, int widthTwips) {
    HWND list = Control("ListView1");
    std::wstring text = Widen(heading);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = TwipsToPixels(widthTwips, dpi_);
    column.iSubItem = Header_GetItemCount(ListView_GetHeader(list));
    if (::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column.iSubItem),
                       reinterpret_cast<LPARAM>(&column)) < 0) {
        throw Failure("The list could not take another column");
    }
    listColumnTwips_ = widthTwips;
}

void MainWindow::AddListRow(const std::string& text) {
    HWND list = Control("ListView1");
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = wide.data();
    if (::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
        throw Failure("The list could not take another row");
    }
}

void MainWindow::SelectListRow(int position) {
    HWND list = Control("ListView1");
    int count = list ? ListView_GetItemCount(list) : 0;
    if (position < 1 || position > count) {
        throw Failure("Invalid property value");
    }
    // Choosing the stored row is not a click.
    selectingRow_ = true;
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, position - 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    selectingRow_ = false;
    ListView_EnsureVisible(list, position - 1, FALSE);
}

void MainWindow::SetCaption(const std::string& text) {
    ::SetWindowTextW(window_.get(), Widen(text).c_str());
}

void MainWindow::SetApplicationIcon() {
    ::SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    ::SendMessageW(window_.get(), WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void MainWindow::Show() {
    HWND window = window_.get();
    if (!window) {
        return;
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
    return window_ && ::IsWindowVisible(window_.get());
}

void MainWindow::SetVisible(bool visible) {
    if (visible) {
        Show();
    } else if (window_) {
        ::ShowWindow(window_.get(), SW_HIDE);
    }
}

WindowState MainWindow::GetWindowState() {
    if (window_ && ::IsIconic(window_.get()) && !restorePending_) {
        return WindowState::Minimized;
    }
    return WindowState::Normal;
}

void MainWindow::SetWindowState(WindowState state) {
    HWND window = window_.get();
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
    HWND window = window_.get();
    if (!window) {
        return;
    }
    ::SetForegroundWindow(window);
    ::SetActiveWindow(window);
}

WindowHandle MainWindow::Handle() {
    return reinterpret_cast<WindowHandle>(window_.get());
}

void MainWindow::SetMousePointer(Pointer pointer) {
    pointer_ = pointer;
    if (!window_) {
        return;
    }
    POINT at;
    if (::GetCursorPos(&at)) {
        HWND over = ::WindowFromPoint(at);
        if (over == window_.get() || ::IsChild(window_.get(), over)) {
            ::SetCursor(CursorFor(pointer_));
        }
    }
}

void MainWindow::LoadCustomPointer(const std::string& path) {
    HCURSOR cursor = ::LoadCursorFromFileW(Widen(path).c_str());
    if (!cursor) {
        throw Failure(SystemMessage(::GetLastError()));
    }
    customCursor_.reset(cursor);
}

CopyBuffer& MainWindow::HistoryBuffer() {
    if (!copyBuffer_) {
        // The window is gone: a buffer of its own still serves.
        copyBuffer_.emplace(nullptr);
    }
    return *copyBuffer_;
}

void MainWindow::SetButtonFaceBackground() {
    buttonFace_ = true;
    if (window_) {
        ::RedrawWindow(window_.get(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

void MainWindow::ApplyToWindow() {
    if (window_) {
        ::RedrawWindow(window_.get(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    }
}

}  // namespace sv::win32
