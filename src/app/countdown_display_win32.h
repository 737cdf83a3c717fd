#pragma once

#include <windows.h>

#include <string>

namespace sv::win32 {

// The status line (Frame2's caption) and the progress bar. A tick sets all three values;
// only what differs from the screen is sent, a new caption repaints the caption's strip alone,
// not the frame, the bar or the window behind them, and the bar repaints only when its fill
// moves.
class CountdownDisplay {
  public:
    CountdownDisplay() = default;
    ~CountdownDisplay();
    CountdownDisplay(const CountdownDisplay&) = delete;
    CountdownDisplay& operator=(const CountdownDisplay&) = delete;

    // background: the brush behind the caption, asked for at each repaint.
    void Attach(HWND frame, HWND bar, HBRUSH (*background)(void*), void* context);

    void SetStatus(const std::wstring& text);
    void SetMaximum(int maximum);
    void SetPosition(int position);

  private:
    static LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data);
    RECT CaptionStrip();
    void InvalidateCaption();

    HWND frame_ = nullptr;
    HWND bar_ = nullptr;
    HBRUSH (*background_)(void*) = nullptr;
    void* context_ = nullptr;
    std::wstring status_;
    int maximum_ = 0;
    int position_ = 0;
    // In pixels, with the frame's font; 0 until measured.
    int captionHeight_ = 0;
};

}  // namespace sv::win32
