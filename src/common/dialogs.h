#pragma once

#include <cstdint>
#include <string>

namespace sv {

// An opaque window handle (an HWND on Windows), so portable code can name an owner window.
using WindowHandle = std::uintptr_t;

// Message-box styles and answers, with the values Windows gives them.
namespace mb {
inline constexpr unsigned kOk = 0x00;
inline constexpr unsigned kYesNo = 0x04;
inline constexpr unsigned kIconExclamation = 0x30;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
}  // namespace mb

// Modal dialogs. Texts are UTF-8; the Windows side converts at the call.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Shows a modal message box and returns the button pressed (mb::kIdOk, ...). Not named
    // MessageBox: <windows.h> would rename it behind our back.
    virtual int ShowMessage(const std::string& text, const std::string& title, unsigned style) = 0;
    // Shows the modal folder browser; empty text when the user cancels.
    virtual std::string BrowseForFolder(WindowHandle owner, const std::string& title,
                                        const std::string& startFolder) = 0;
};

}  // namespace sv
