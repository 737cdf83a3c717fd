#include "platform/dialogs_win32.h"

#include <string>

#include "common/failure.h"
#include "common/text_win32.h"
#include "platform/folder_chooser_win32.h"

namespace sv::win32 {

namespace {

BOOL CALLBACK EndDialogOfThread(HWND window, LPARAM) {
    wchar_t name[8] = {};
    if (::GetClassNameW(window, name, 8) == 6 && std::wstring(name) == L"#32770" &&
        ::IsWindowVisible(window)) {
        // Its modal loop, further down this thread's stack, returns once control is back there.
        ::EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

int Win32Dialogs::ShowMessage(const std::string& text, const std::string& title, unsigned style) {
    if (silent_) {
        return 0;
    }
    UINT modality = owner_ ? MB_APPLMODAL : MB_TASKMODAL;
    return ::MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(), style | modality);
}

std::string Win32Dialogs::BrowseForFolder(WindowHandle owner, const std::string& title,
                                          const std::string& startFolder) {
    if (silent_) {
        throw Failure("The folder chooser cannot be shown while the program is ending.");
    }
    HWND window = owner ? reinterpret_cast<HWND>(owner) : owner_;
    return win32::BrowseForFolder(window, title, startFolder);
}

void Win32Dialogs::Silence(bool silent) {
    silent_ = silent;
    if (silent) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &EndDialogOfThread, 0);
    }
}

}  // namespace sv::win32
