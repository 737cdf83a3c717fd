// Reference for the time to the first window in scripts/bench.sh: the least a program can do to
// show the same window as Stenvault's, with the same common controls, captions, list rows and
// size, and nothing else (no settings, no tray icon, no COM).
#include <windows.h>
#include <commctrl.h>

#include <string_view>

namespace {

struct Child {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    int left;
    int top;
    int width;
    int height;
};

// Pixels at 96 DPI, where the window's twips divide by 15.
constexpr Child kChildren[] = {
    {L"BUTTON", L"Turn Off Backup Save", BS_PUSHBUTTON | WS_TABSTOP, 0, 8, 8, 520, 27},
    {L"BUTTON", L"On. Next backup save will occur in", BS_GROUPBOX, 0, 8, 38, 520, 57},
    {PROGRESS_CLASSW, L"", 0, 0, 24, 56, 485, 27},
    {L"BUTTON", L"Save Location Option", BS_GROUPBOX, 0, 8, 102, 520, 93},
    {L"BUTTON", L"Save all backups to this location:", BS_AUTORADIOBUTTON | WS_GROUP, 0, 24, 122,
     256, 17},
    {L"EDIT", L"C:\\users\\root\\Desktop\\", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 40, 139,
     409, 23},
    {L"BUTTON", L"...", BS_PUSHBUTTON | WS_TABSTOP, 0, 456, 139, 41, 23},
    {L"BUTTON", L"Save all backups to the same folder as the open documents", BS_AUTORADIOBUTTON, 0,
     24, 169, 441, 17},
    {L"BUTTON", L"Other Options", BS_GROUPBOX, 0, 8, 201, 520, 117},
    {L"BUTTON", L"Create new file on backup", BS_AUTORADIOBUTTON | WS_GROUP, 0, 23, 221, 361, 17},
    {L"BUTTON", L"Overwrite old backup file on backup", BS_AUTORADIOBUTTON, 0, 23, 244, 256, 17},
    {L"BUTTON", L"Load this software on Windows startup", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 24, 268,
     262, 16},
    {L"BUTTON", L"Start in system tray", BS_AUTOCHECKBOX | WS_TABSTOP, 0, 24, 291, 172, 16},
    {WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
     WS_EX_CLIENTEDGE, 8, 326, 520, 121},
    {L"BUTTON", L"Backup Save Now (Test)", BS_PUSHBUTTON | WS_TABSTOP, 0, 8, 453, 520, 27},
    {L"BUTTON", L"View History Log", BS_PUSHBUTTON | WS_TABSTOP, 0, 8, 487, 256, 27},
    {L"BUTTON", L"Copy History To Clipboard", BS_PUSHBUTTON | WS_TABSTOP, 0, 272, 487, 256, 27},
    {L"BUTTON", L"Help", BS_PUSHBUTTON | WS_TABSTOP, 0, 8, 521, 256, 27},
    {L"BUTTON", L"Clear History Log", BS_PUSHBUTTON | WS_TABSTOP, 0, 272, 521, 256, 27},
};

constexpr const wchar_t* kRows[] = {
    L"Save every 30 seconds", L"Save every 1 minute",   L"Save every 5 minutes",
    L"Save every 15 minutes", L"Save every 30 minutes", L"Save every hour",
    L"Save every 2 hours",    L"Save every 4 hours",    L"Save every 8 hours",
    L"Save every 24 hours",
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof icc,
                             ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Procedure;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"BenchFormReference";
    ::RegisterClassExW(&wc);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 535, 555};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Reference", style,
                                    (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                    (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                    nullptr, nullptr, instance, nullptr);

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    HWND list = nullptr;
    for (const Child& child : kChildren) {
        HWND control = ::CreateWindowExW(
            child.exStyle, child.className, child.text, WS_CHILD | WS_VISIBLE | child.style,
            child.left, child.top, child.width, child.height, window, nullptr, instance, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (std::wstring_view(child.className) == WC_LISTVIEWW) {
            list = control;
        }
    }
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 427;
    column.pszText = const_cast<wchar_t*>(L"How often should backups be made?");
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    for (int row = 0; row < static_cast<int>(sizeof kRows / sizeof *kRows); ++row) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(kRows[row]);
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }

    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(window, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    ::DeleteObject(font);
    return 0;
}
