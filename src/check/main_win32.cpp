// stenvault-check.exe: checks, against the Visio installed here, what Stenvault relies on.
#include <windows.h>

#include <string>
#include <string_view>

#include "backup/dispatch_client_win32.h"
#include "check/check_host_win32.h"
#include "check/checks.h"
#include "common/com_win32.h"
#include "common/text_win32.h"

namespace {

constexpr std::string_view kHelp =
    "Usage: stenvault-check.exe [--output FILE]\n"
    "\n"
    "Checks, in about a minute, that the Visio installed here behaves as Stenvault expects.\n"
    "It starts two hidden Visio instances of its own and works only on drawings it creates in\n"
    "them; your running Visio and your drawings are never touched, and it puts your clipboard\n"
    "back. Each check prints PASS, FAIL or UNKNOWN with the Visio member it concerns and why;\n"
    "paste the whole output into your bug report.\n"
    "\n"
    "  --output FILE  also write the report to FILE\n"
    "\n"
    "Exit code: 0 nothing failed, 1 a check failed, 2 Visio could not be started,\n"
    "3 wrong arguments or the output file could not be written.\n";

constexpr int kUsageExit = 3;

// To the console as text it can show; to a pipe or file as UTF-8.
void Print(HANDLE out, std::string_view text) {
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(out, &mode)) {
        std::wstring wide = sv::win32::Widen(text);
        ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring outputFile;
    for (int i = 1; i < argc; ++i) {
        std::wstring_view arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            Print(out, kHelp);
            return 0;
        }
        if (arg == L"--output" && i + 1 < argc && argv[i + 1][0] != L'\0') {
            outputFile = argv[++i];
            continue;
        }
        Print(err, "stenvault-check: " +
                       (arg == L"--output" ? std::string("--output needs a file name")
                                           : "unknown argument " + sv::win32::Narrow(arg)) +
                       "\n\n");
        Print(err, kHelp);
        return kUsageExit;
    }

    // Found out now, not after a minute of checks.
    if (!outputFile.empty() && !sv::check::win32::WriteTextFile(outputFile, "")) {
        Print(err, "stenvault-check: cannot write " + sv::win32::Narrow(outputFile) + "\n");
        return kUsageExit;
    }

    sv::check::CheckReport report;
    {
        sv::win32::ComApartment apartment;
        sv::backup::win32::InstanceJob instances;
        sv::backup::win32::DispatchLink link(instances);
        sv::check::win32::Win32CheckHost host;
        report = sv::check::RunChecks(link, host);
    }
    std::string text = sv::check::FormatReport(report);
    Print(out, text);
    if (!outputFile.empty() && !sv::check::win32::WriteTextFile(outputFile, text)) {
        Print(err, "stenvault-check: could not write " + sv::win32::Narrow(outputFile) + "\n");
        return kUsageExit;
    }
    return sv::check::ExitCode(report);
}
