#include "app/countdown_display_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "app/window_layout.h"
#include "common/text_win32.h"

namespace sv::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

CountdownDisplay::~CountdownDisplay() {
    if (frame_ && ::IsWindow(frame_)) {
        ::RemoveWindowSubclass(frame_, &CountdownDisplay::FrameProcedure, kSubclassId);
    }
}

void CountdownDisplay::Attach(HWND frame, HWND bar, HBRUSH (*background)(void*), void* context) {
    frame_ = frame;
    bar_ = bar;
    background_ = background;
    context_ = context;
    status_ = WindowTextOf(frame_);
    PBRANGE range{};
    ::SendMessageW(bar_, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    maximum_ = range.iHigh;
    position_ = static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0));
    ::SetWindowSubclass(frame_, &CountdownDisplay::FrameProcedure, kSubclassId,
                        reinterpret_cast<DWORD_PTR>(this));
}

void CountdownDisplay::SetStatus(const std::wstring& text) {
    if (!frame_ || text == status_) {
        return;
    }
    status_ = text;
    // Straight to the text, as the frame's own handling below does: once a second, the
    // message need not travel the subclass chain.
    ::DefWindowProcW(frame_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(status_.c_str()));
    InvalidateCaption();
}

void CountdownDisplay::InvalidateCaption() {
    // Hidden, there is nothing to draw.
    if (::IsWindowVisible(frame_)) {
        RECT strip = CaptionStrip();
        ::InvalidateRect(frame_, &strip, TRUE);
    }
}

void CountdownDisplay::SetMaximum(int maximum) {
    if (!bar_ || maximum == maximum_) {
        return;
    }
    maximum_ = maximum;
    ::SendMessageW(bar_, PBM_SETRANGE32, 0, maximum);
    // The bar may have clamped its position to the new range.
    position_ = static_cast<int>(::SendMessageW(bar_, PBM_GETPOS, 0, 0));
}

void CountdownDisplay::SetPosition(int position) {
    if (!bar_ || position == position_) {
        return;
    }
    // The bar repaints all of itself for any new position; over a long interval most seconds
    // fill no new pixel, and then the value changes without a repaint.
    RECT client{};
    const bool quiet = ::IsWindowVisible(bar_) && ::GetClientRect(bar_, &client) &&
                       !BarFillMoves(position_, position, maximum_, client.right - client.left);
    if (quiet) {
        ::SendMessageW(bar_, WM_SETREDRAW, FALSE, 0);
    }
    ::SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    if (quiet) {
        ::SendMessageW(bar_, WM_SETREDRAW, TRUE, 0);
    }
    // The bar keeps a position inside its range, 0 to maximum_ since SetMaximum.
    position_ = std::clamp(position, 0, std::max(maximum_, 0));
}

RECT CountdownDisplay::CaptionStrip() {
    RECT strip;
    ::GetClientRect(frame_, &strip);
    if (captionHeight_ == 0) {
        HDC dc = ::GetDC(frame_);
        auto font = reinterpret_cast<HFONT>(::SendMessageW(frame_, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        if (old) {
            ::SelectObject(dc, old);
        }
        ::ReleaseDC(frame_, dc);
        captionHeight_ = metrics.tmHeight + 2;
    }
    strip.bottom = strip.top + captionHeight_;
    return strip;
}

// A group box repaints all of itself for a new caption; only the caption's strip changes.
LRESULT CALLBACK CountdownDisplay::FrameProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CountdownDisplay*>(data);
    switch (message) {
        case WM_SETTEXT: {
            // Keeps the text without the control's own repaint of the whole box.
            LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
            self->InvalidateCaption();
            return result;
        }
        case WM_SETFONT:
            // The caption's height is measured again with the new font.
            self->captionHeight_ = 0;
            break;
        case WM_ERASEBKGND: {
            // Clears what the old caption left; the group box itself paints only the new one.
            // The strip alone: the window behind has cleared the rest.
            auto dc = reinterpret_cast<HDC>(wParam);
            RECT strip = self->CaptionStrip();
            RECT clip;
            RECT area;
            if (::GetClipBox(dc, &clip) != ERROR && ::IntersectRect(&area, &strip, &clip)) {
                ::FillRect(dc, &area, self->background_(self->context_));
            }
            return 1;
        }
        case WM_NCDESTROY:
            // The bar goes with the window that holds them both.
            ::RemoveWindowSubclass(window, &CountdownDisplay::FrameProcedure, kSubclassId);
            self->frame_ = nullptr;
            self->bar_ = nullptr;
            break;
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace sv::win32
