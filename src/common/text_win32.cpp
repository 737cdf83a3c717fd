#include "common/text_win32.h"

#include <windows.h>

namespace sv::win32 {
namespace {

std::wstring ToWide(std::string_view s, UINT codePage) {
    if (s.empty()) {
        return {};
    }
    int n = ::MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string FromWide(std::wstring_view w, UINT codePage) {
    if (w.empty()) {
        return {};
    }
    // A character the code page lacks becomes "?", never a look-alike: "\u03A9mega" must not
    // turn into the name of another file, "Omega". UTF-8 takes no flags.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int n = ::WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                  nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, w.data(), static_cast<int>(w.size()), s.data(), n,
                          nullptr, nullptr);
    return s;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    return ToWide(utf8, CP_UTF8);
}
std::string Narrow(std::wstring_view utf16) {
    return FromWide(utf16, CP_UTF8);
}
std::string ToAnsi(std::string_view utf8) {
    return FromWide(Widen(utf8), CP_ACP);
}
std::string ToCodePage(std::string_view utf8, unsigned codePage) {
    return FromWide(Widen(utf8), codePage);
}
std::string FromAnsi(std::string_view ansi) {
    return Narrow(ToWide(ansi, CP_ACP));
}

std::string SystemMessage(unsigned long code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : std::wstring();
    if (buffer) {
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        wchar_t hex[32];
        ::wsprintfW(hex, L"Error 0x%08lX", code);
        text = hex;
    }
    return Narrow(text);
}

std::wstring WindowTextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace sv::win32
