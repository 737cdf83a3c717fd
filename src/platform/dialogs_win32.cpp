#include "platform/dialogs_win32.h"

#include "common/text_win32.h"
#include "platform/folder_chooser_win32.h"

namespace sv::win32 {

int Win32Dialogs::ShowMessage(const std::string& text, const std::string& title, unsigned style) {
    UINT modality = owner_ ? MB_APPLMODAL : MB_TASKMODAL;
    return ::MessageBoxW(owner_, Widen(text).c_str(), Widen(title).c_str(), style | modality);
}

std::string Win32Dialogs::BrowseForFolder(WindowHandle owner, const std::string& title,
                                          const std::string& startFolder) {
    HWND window = owner ? reinterpret_cast<HWND>(owner) : owner_;
    return win32::BrowseForFolder(window, title, startFolder);
}

}  // namespace sv::win32
