#pragma once

#include <windows.h>

#include <string>

namespace sv::win32 {

// The shell's modal folder browser (file-system folders only). Returns the chosen folder's
// path (UTF-8, at most 259 ANSI characters) or empty text on cancel. A non-empty startFolder
// is selected when the dialog opens. Throws Failure when the dialog could not be shown.
std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& startFolder);

// What the dialog's callback is given: the ANSI start folder, and whether the dialog came up.
struct BrowseState {
    const char* startFolder;
    bool shown;
};

// The dialog's callback, given a BrowseState: on BFFM_INITIALIZED notes that the dialog is up
// and selects the start folder, if any. Always returns 0.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM data);

}  // namespace sv::win32
