#include "platform/folder_chooser_win32.h"

#include <objbase.h>
#include <shlobj.h>

#include "common/com_win32.h"
#include "common/failure.h"
#include "common/text_win32.h"

namespace sv::win32 {

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM param, LPARAM data) {
    if (message != BFFM_INITIALIZED || data == 0) {
        return 0;
    }
    auto& state = *reinterpret_cast<BrowseState*>(data);
    state.shown = true;
    if (state.startFolder && *state.startFolder) {
        ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE,
                       reinterpret_cast<LPARAM>(state.startFolder));
    }
    return 0;
}

std::string BrowseForFolder(HWND owner, const std::string& title, const std::string& startFolder) {
    // The shell's dialog needs COM on this thread; balanced if it was already there.
    ComApartment apartment;
    const std::string ansiTitle = ToAnsi(title);
    // Handed to the callback through its data, so no process-wide copy is kept.
    const std::string ansiStart = ToAnsi(startFolder);
    BrowseState state{ansiStart.c_str(), false};

    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = ansiTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    info.iImage = 0;

    PIDLIST_ABSOLUTE item = ::SHBrowseForFolderA(&info);
    if (!item) {
        // Nothing chosen from a chooser that never came up (its owner gone, the program
        // ending) is no answer: asking again would only fail again, at once.
        if (!state.shown) {
            throw Failure("The folder chooser could not be shown.");
        }
        return {};
    }
    char buffer[MAX_PATH] = {};
    ::SHGetPathFromIDListA(item, buffer);
    ::CoTaskMemFree(item);
    buffer[MAX_PATH - 1] = '\0';
    return FromAnsi(buffer);
}

}  // namespace sv::win32
