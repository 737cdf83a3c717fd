#pragma once

#include <windows.h>

#include <string>

namespace sv::standin::win32 {

// The classes this server registers under the application's two ProgIDs: the application, which
// shows its window from its start until told otherwise, and the invisible one, hidden until its
// Visible is set. Each has a CLSID of our own.
inline constexpr CLSID kStandinClsid = {
    0xF0A748C0, 0xA7FD, 0x402E, {0xBE, 0xD0, 0xB0, 0x69, 0x40, 0x87, 0x81, 0x30}};
inline constexpr wchar_t kProgId[] = L"Visio.Application";
inline constexpr CLSID kInvisibleClsid = {
    0x1634B917, 0x4143, 0x4026, {0xA3, 0x1B, 0xD8, 0xA8, 0xC1, 0x6F, 0xB0, 0x30}};
inline constexpr wchar_t kInvisibleProgId[] = L"Visio.InvisibleApp";
// On the invisible class's LocalServer32 command line, before the -Embedding COM adds: the
// process started through it serves that class alone.
inline constexpr wchar_t kInvisibleSwitch[] = L"InvisibleApp";

// Both refuse, with a message and a non-zero result and without touching anything, while
// either ProgID is registered to a class not ours. 0 on success.
int RegisterServer(const std::wstring& exePath, std::string& message);
int UnregisterServer(std::string& message);

}  // namespace sv::standin::win32
