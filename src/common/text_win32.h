#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace sv::win32 {

// Portable code holds UTF-8; Windows wants UTF-16 or the ANSI code page at its edges.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
// Characters the code page cannot hold become "?".
std::string ToAnsi(std::string_view utf8);
std::string ToCodePage(std::string_view utf8, unsigned codePage);
std::string FromAnsi(std::string_view ansi);

// A window's text (a control's caption), whole.
std::wstring WindowTextOf(HWND window);

// The system's message text for a Win32 error or HRESULT, without the trailing line break.
std::string SystemMessage(unsigned long code);

}  // namespace sv::win32
