#pragma once

#include <windows.h>

#include <string>

#include "app/form_view.h"
#include "common/handles_win32.h"

namespace sv::win32 {

// The window's mouse pointer setting and the pictures it stands for.
class WindowPointer {
  public:
    Pointer Setting() const { return setting_; }
    // Takes the setting, and shows it at once when the mouse is over the window.
    void Set(Pointer setting, HWND window);
    // Loads a cursor file as the custom picture. Throws Failure.
    void LoadCustom(const std::string& path);
    // Shows the setting's picture.
    void Show() const;

  private:
    HCURSOR Cursor() const;

    Pointer setting_ = Pointer::Default;
    UniqueCursor custom_;
};

}  // namespace sv::win32
