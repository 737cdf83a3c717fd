#pragma once

#include <windows.h>

#include <string>

namespace sv::win32 {

// The status line (Frame2's caption) and the progress bar.
class CountdownDisplay {
  public:
    // parent: the window the frame sits on; captionTwips: the strip above the bar.
    void Attach(HWND parent, HWND frame, HWND bar, int captionHeight);
    void SetCaptionHeight(int pixels) { captionHeight_ = pixels; }

    void SetStatus(const std::wstring& text);
    void SetMaximum(int maximum);
    void SetPosition(int position);

  private:
    HWND parent_ = nullptr;
    HWND frame_ = nullptr;
    HWND bar_ = nullptr;
    int captionHeight_ = 0;
};

}  // namespace sv::win32
