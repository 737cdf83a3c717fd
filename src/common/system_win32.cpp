#include "common/system_win32.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "common/failure.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {

namespace {

SYSTEMTIME ToSystemTime(const LocalTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    return st;
}

std::string LocaleText(LCTYPE type) {
    wchar_t buffer[128];
    int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 128);
    return n > 1 ? Narrow(std::wstring_view(buffer, n - 1)) : std::string();
}

[[noreturn]] void ThrowLastError() {
    throw Failure(SystemMessage(::GetLastError()));
}

}  // namespace

LocalTime Win32Clock::Now() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::int64_t Win32Clock::MonotonicMilliseconds() {
    return static_cast<std::int64_t>(::GetTickCount64());
}

std::string Win32Locale::MonthAbbreviation(int month) {
    static constexpr const char* kEnglish[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (month < 1 || month > 12)
        return {};
    std::string name = LocaleText(LOCALE_SABBREVMONTHNAME1 + (month - 1));
    return name.empty() ? kEnglish[month - 1] : name;
}

std::string Win32Locale::TimeMarker(bool afternoon) {
    std::string marker = LocaleText(afternoon ? LOCALE_S2359 : LOCALE_S1159);
    return marker.empty() ? (afternoon ? "PM" : "AM") : marker;
}

std::string Win32Locale::ShortDate(const LocalTime& t) {
    SYSTEMTIME st = ToSystemTime(t);
    wchar_t buffer[128];
    int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128,
                              nullptr);
    if (n > 1)
        return Narrow(std::wstring_view(buffer, n - 1));
    char text[32];
    std::snprintf(text, sizeof text, "%d/%d/%d", t.month, t.day, t.year);
    return text;
}

std::string Win32Locale::LongTime(const LocalTime& t) {
    SYSTEMTIME st = ToSystemTime(t);
    wchar_t buffer[128];
    int n = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, buffer, 128);
    if (n > 1)
        return Narrow(std::wstring_view(buffer, n - 1));
    int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d ", hour12, t.minute, t.second);
    return text + TimeMarker(t.hour >= 12);
}

bool Win32FileSystem::Exists(const std::string& path) {
    if (path.empty())
        return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    return ::GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

bool Win32FileSystem::IsOrdinaryFile(const std::string& path) {
    if (path.empty())
        return false;
    WIN32_FIND_DATAW found;
    UniqueFind find(::FindFirstFileW(Widen(path).c_str(), &found));
    if (!find)
        return false;
    constexpr DWORD kNotOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((found.dwFileAttributes & kNotOrdinary) == 0)
            return true;
    } while (::FindNextFileW(find.get(), &found));
    return false;
}

void Win32FileSystem::AppendText(const std::string& path, const std::string& text) {
    // FILE_APPEND_DATA alone: every write lands at the end, nothing can truncate the file.
    UniqueFile file(::CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowLastError();
    std::string bytes = ToAnsi(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) {
            ThrowLastError();
        }
        done += written;
    }
}

std::string Win32FileSystem::ReadText(const std::string& path) {
    UniqueFile file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        ThrowLastError();
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            ThrowLastError();
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    return FromAnsi(bytes);
}

bool Win32FileSystem::DeletePlain(const std::string& path) {
    return !path.empty() && ::DeleteFileW(Widen(path).c_str()) != 0;
}

bool Win32FileSystem::DeleteForced(const std::string& path) {
    if (path.empty())
        return false;
    std::wstring wide = Widen(path);
    DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (::DeleteFileW(wide.c_str()))
        return true;
    // Still there: give it back the protection it had.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(wide.c_str(), attributes);
    return false;
}

void Win32FileSystem::MoveOver(const std::string& from, const std::string& to) {
    // No copy allowed: a move within one volume is a rename, whole or not at all.
    if (!::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ThrowLastError();
    }
}

std::vector<FolderEntry> Win32FileSystem::ListFolder(const std::string& folder) {
    std::wstring pattern = Widen(folder);
    if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/'))
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    UniqueFind find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    std::vector<FolderEntry> entries;
    if (!find) {
        // A root folder with nothing in it has not even "." to list.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return entries;
        ThrowLastError();
    }
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                         t.dwLowDateTime);
    };
    do {
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        FolderEntry entry;
        entry.name = Narrow(name);
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.readOnly = (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        entry.ageSeconds = (ticks(now) - ticks(found.ftLastWriteTime)) / 10'000'000;
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(find.get(), &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES)
        ThrowLastError();
    return entries;
}

bool Win32FileSystem::RemoveUnused(const std::string& path, Removal how) {
    if (path.empty())
        return false;
    const std::wstring wide = Widen(path);
    constexpr DWORD kLeftAlone = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kLeftAlone))
        return false;
    if (how == Removal::Delete) {
        // Shared with nobody: a file another process holds open is not opened at all, and one
        // opened this way is gone once the handle closes.
        UniqueFile file(::CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
        return static_cast<bool>(file);
    }
    {
        UniqueFile file(::CreateFileW(wide.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file)
            return false;
    }
    wchar_t full[32768];
    const DWORD n = ::GetFullPathNameW(wide.c_str(), 32767, full, nullptr);
    if (n == 0 || n >= 32767)
        return false;
    // The shell wants its list ended by an empty name.
    std::wstring from(full, n);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // Into the Recycle Bin where the volume has one, otherwise deleted: never a question, a
    // progress window or an error box.
    operation.fFlags =
        FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted &&
           ::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::string Win32FileSystem::ProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            ThrowLastError();
        if (n < buffer.size()) {
            std::wstring_view path(buffer.data(), n);
            std::size_t slash = path.find_last_of(L"\\/");
            return Narrow(slash == std::wstring_view::npos ? path : path.substr(0, slash));
        }
        buffer.resize(buffer.size() * 2);
    }
}

void Win32Launcher::Start(const std::string& commandLine, WindowShow show) {
    std::wstring line = Widen(commandLine);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = show == WindowShow::Normal ? SW_SHOWNORMAL : SW_SHOWMINIMIZED;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        ThrowLastError();
    }
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
}

double Win32Random::SeededDraw() {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    const unsigned seed =
        ((st.wHour * 60u + st.wMinute) * 60u + st.wSecond) * 1000u + st.wMilliseconds;
    std::mt19937 generator(seed);
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

std::optional<std::string> Win32Environment::Variable(const std::string& name) {
    std::wstring wide = Widen(name);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        DWORD n = ::GetEnvironmentVariableW(wide.c_str(), buffer.data(),
                                            static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                return std::nullopt;
            return std::string();
        }
        if (n < buffer.size())
            return Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(n);
    }
}

std::optional<std::string> Win32ShellFolders::SpecialFolderPath(int folder) {
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, folder, &list)) || !list) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH * 2] = {};
    const BOOL ok = ::SHGetPathFromIDListW(list, path);
    ::CoTaskMemFree(list);
    if (!ok)
        return std::nullopt;
    return Narrow(path);
}

std::vector<RunningProcess> RunningProcesses() {
    std::vector<RunningProcess> processes;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return processes;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    }
    return processes;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            std::wstring full = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace sv::win32
