#pragma once

#include <windows.h>

#include <string>

#include "common/dialogs.h"

namespace sv::win32 {

// Message boxes and the folder browser for the program's windows. Without an owner a message
// box is task-modal.
class Win32Dialogs : public Dialogs {
  public:
    explicit Win32Dialogs(HWND owner = nullptr) : owner_(owner) {}

    void SetOwner(HWND owner) { owner_ = owner; }
    HWND Owner() const { return owner_; }

    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override;
    std::string BrowseForFolder(WindowHandle owner, const std::string& title,
                                const std::string& startFolder) override;

  private:
    HWND owner_;
};

}  // namespace sv::win32
