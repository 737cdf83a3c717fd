#pragma once

#include <windows.h>

namespace sv::win32::testing {

// The width in pixels of an icon's image; 0 for none.
inline int IconPixelWidth(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap{};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) {
        ::DeleteObject(info.hbmColor);
    }
    ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

}  // namespace sv::win32::testing
