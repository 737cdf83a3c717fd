#include "app/countdown_display_win32.h"

#include <commctrl.h>

namespace sv::win32 {

namespace {

std::wstring WindowTextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

}  // namespace

void CountdownDisplay::Attach(HWND parent, HWND frame, HWND bar, int captionHeight) {
    parent_ = parent;
    frame_ = frame;
    bar_ = bar;
    captionHeight_ = captionHeight;
}

void CountdownDisplay::SetStatus(const std::wstring& text) {
    if (!frame_ || WindowTextOf(frame_) == text) {
        return;
    }
    ::SetWindowTextW(frame_, text.c_str());
    // The group box draws its caption without clearing the old one; clear its strip first.
    RECT strip;
    ::GetWindowRect(frame_, &strip);
    ::MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&strip), 2);
    strip.bottom = strip.top + captionHeight_;
    ::RedrawWindow(parent_, &strip, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CountdownDisplay::SetMaximum(int maximum) {
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, maximum);
}

void CountdownDisplay::SetPosition(int position) {
    ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace sv::win32
