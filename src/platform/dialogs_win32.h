#pragma once

#include <windows.h>

#include <string>

#include "common/dialogs.h"

namespace sv::win32 {

// Message boxes and the folder browser for the program's windows. Without an owner a message
// box is task-modal. Silenced (the program or the session is ending), it closes the boxes open
// on this thread and shows no further one: a box then answers 0 at once, and the folder
// browser throws.
class Win32Dialogs : public Dialogs {
  public:
    explicit Win32Dialogs(HWND owner = nullptr) : owner_(owner) {}

    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }

    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override;
    std::string BrowseForFolder(WindowHandle owner, const std::string& title,
                                const std::string& startFolder) override;

    void Silence(bool silent);

  private:
    HWND owner_;
    bool silent_ = false;
};

}  // namespace sv::win32
