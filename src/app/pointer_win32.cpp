#include "app/pointer_win32.h"

#include "common/failure.h"
#include "common/text_win32.h"

namespace sv::win32 {

void WindowPointer::Set(Pointer setting, HWND window) {
    setting_ = setting;
    if (!window) {
        return;
    }
    POINT at;
    if (::GetCursorPos(&at)) {
        HWND over = ::WindowFromPoint(at);
        if (over == window || ::IsChild(window, over)) {
            Show();
        }
    }
}

void WindowPointer::LoadCustom(const std::string& path) {
    HCURSOR cursor = ::LoadCursorFromFileW(Widen(path).c_str());
    if (!cursor) {
        throw Failure(SystemMessage(::GetLastError()));
    }
    custom_.reset(cursor);
}

void WindowPointer::Show() const {
    ::SetCursor(Cursor());
}

HCURSOR WindowPointer::Cursor() const {
    switch (setting_) {
        case Pointer::Busy:
            return ::LoadCursorA(nullptr, IDC_WAIT);
        case Pointer::Custom:
            // Without a picture of its own the custom setting shows the hand.
            return custom_ ? custom_.get() : ::LoadCursorA(nullptr, IDC_HAND);
        case Pointer::Default:
            break;
    }
    return ::LoadCursorA(nullptr, IDC_ARROW);
}

}  // namespace sv::win32
