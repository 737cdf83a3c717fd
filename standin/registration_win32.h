#pragma once

#include <windows.h>

#include <string>

namespace sv::standin::win32 {

// The class this server registers under the ProgID "Visio.Application".
inline constexpr CLSID kStandinClsid = {
    0xF0A748C0, 0xA7FD, 0x402E, {0xBE, 0xD0, 0xB0, 0x69, 0x40, 0x87, 0x81, 0x30}};
inline constexpr wchar_t kProgId[] = L"Visio.Application";

// Both refuse, with a message and a non-zero result, to touch a "Visio.Application"
// registration that names another class. 0 on success.
int RegisterServer(const std::wstring& exePath, std::string& message);
int UnregisterServer(std::string& message);

}  // namespace sv::standin::win32
