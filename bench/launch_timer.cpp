// Time from process start to its first visible top-level window, for scripts/bench.sh.
//   launch_timer <program.exe> [arguments]
// Prints the milliseconds, then closes the program (WM_CLOSE, ended after 15 s without it).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    DWORD process = 0;
    HWND found = nullptr;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && ::IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK Close(HWND window, LPARAM lParam) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(lParam)) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

double Seconds() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: launch_timer <program.exe> [arguments]\n");
        return 2;
    }
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i) {
        command += L" ";
        command += argv[i];
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Seconds();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        std::fprintf(stderr, "cannot start: error %lu\n", ::GetLastError());
        return 1;
    }
    Search search{process.dwProcessId};
    double shown = -1;
    while (Seconds() - start < 30) {
        ::EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            shown = Seconds() - start;
            break;
        }
        if (::WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
            break;
        }
    }
    // Let start-up finish before closing, so the close takes its ordinary path.
    ::Sleep(3000);
    ::EnumWindows(&Close, static_cast<LPARAM>(process.dwProcessId));
    if (::WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        ::WaitForSingleObject(process.hProcess, 5000);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (shown < 0) {
        std::fprintf(stderr, "no window shown\n");
        return 1;
    }
    std::printf("%.1f\n", shown * 1000);
    return 0;
}
