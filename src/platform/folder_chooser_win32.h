#pragma once

#include <windows.h>

#include <string>

namespace sv::win32 {

// The shell's modal folder browser (file-system folders only). Returns the chosen folder's
// path (UTF-8, at most 259 ANSI characters) or empty text on cancel. A non-empty startFolder
// is selected when the dialog opens.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& startFolder);

// The dialog's callback: on BFFM_INITIALIZED selects the ANSI path that data points to, if
// any. Always returns 0.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM data);

}  // namespace sv::win32
