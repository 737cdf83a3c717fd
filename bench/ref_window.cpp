// Reference windows for scripts/bench.sh: the least a window can do for the same visible work.
//   ref_window shown [x y]  a group box and a progress bar; once a second the box's caption
//                           changes and the bar's range and position are set
//   ref_window hidden       the same window and timer, never shown
//   ref_window startup      an empty window, shown at once (for the time to the first window)
//   ref_window pointer x y  moves the mouse pointer there and ends
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr int kInterval = 86400;

struct Controls {
    HWND frame = nullptr;
    HWND progress = nullptr;
    int elapsed = 0;
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* controls = reinterpret_cast<Controls*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_TIMER:
            if (controls && controls->frame) {
                ++controls->elapsed;
                wchar_t caption[80];
                std::swprintf(caption, 80, L"On. Next backup save will occur in %d seconds",
                              kInterval - controls->elapsed);
                ::SetWindowTextW(controls->frame, caption);
                ::SendMessageW(controls->progress, PBM_SETRANGE32, 0, kInterval);
                ::SendMessageW(controls->progress, PBM_SETPOS, controls->elapsed, 0);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring mode = argc > 1 ? argv[1] : L"shown";
    const int x = argc > 3 ? std::wcstol(argv[2], nullptr, 10) : CW_USEDEFAULT;
    const int y = argc > 3 ? std::wcstol(argv[3], nullptr, 10) : CW_USEDEFAULT;
    if (mode == L"pointer") {
        // Wine polls a resting pointer over a button every few milliseconds: samples are taken
        // with the pointer away from every window measured.
        return ::SetCursorPos(x, y) ? 0 : 1;
    }

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Procedure;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"BenchReference";
    ::RegisterClassExW(&wc);
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Reference", WS_OVERLAPPEDWINDOW, x, y,
                                    480, 200, nullptr, nullptr, instance, nullptr);

    Controls controls;
    if (mode != L"startup") {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        controls.frame =
            ::CreateWindowExW(0, L"BUTTON", L"Status", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 10,
                              440, 70, window, nullptr, instance, nullptr);
        controls.progress = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 20,
                                              100, 420, 20, window, nullptr, instance, nullptr);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&controls));
        ::SetTimer(window, kTimer, 1000, nullptr);
    }
    if (mode != L"hidden") {
        ::ShowWindow(window, SW_SHOWNORMAL);
        ::UpdateWindow(window);
    }
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
