#include "standin/registration_win32.h"

#include <objbase.h>

#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::standin::win32 {

using sv::win32::Narrow;
using sv::win32::UniqueKey;

namespace {

constexpr wchar_t kClassesRoot[] = L"Software\\Classes\\";
constexpr wchar_t kDescription[] = L"Visio Stand-in";

std::wstring ClsidText() {
    wchar_t text[64] = {};
    ::StringFromGUID2(kStandinClsid, text, 64);
    return text;
}

bool ReadDefault(HKEY root, const std::wstring& subKey, std::wstring& value) {
    UniqueKey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                           &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    value = buffer;
    return true;
}

LSTATUS WriteDefault(const std::wstring& subKey, const std::wstring& value) {
    UniqueKey key;
    LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// 0 when the ProgID is free or ours; a message otherwise.
int CheckOwnership(std::string& message) {
    std::wstring registered;
    if (ReadDefault(HKEY_LOCAL_MACHINE, std::wstring(kClassesRoot) + kProgId + L"\\CLSID",
                    registered) &&
        _wcsicmp(registered.c_str(), ClsidText().c_str()) != 0) {
        message = "Visio.Application is registered to another class (" + Narrow(registered) +
                  "); it is left as it is.";
        return 2;
    }
    return 0;
}

}  // namespace

int RegisterServer(const std::wstring& exePath, std::string& message) {
    if (int refused = CheckOwnership(message)) {
        return refused;
    }
    const std::wstring clsid = ClsidText();
    const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + clsid;
    const std::wstring progKey = std::wstring(kClassesRoot) + kProgId;
    const std::pair<std::wstring, std::wstring> entries[] = {
        {progKey, kDescription},           {progKey + L"\\CLSID", clsid},
        {classKey, kDescription},          {classKey + L"\\LocalServer32", L"\"" + exePath + L"\""},
        {classKey + L"\\ProgID", kProgId},
    };
    for (const auto& [key, value] : entries) {
        if (LSTATUS status = WriteDefault(key, value); status != ERROR_SUCCESS) {
            message = "Could not register: " + sv::win32::SystemMessage(status);
            return 1;
        }
    }
    return 0;
}

int UnregisterServer(std::string& message) {
    if (int refused = CheckOwnership(message)) {
        return refused;
    }
    const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + ClsidText();
    const std::wstring progKey = std::wstring(kClassesRoot) + kProgId;
    for (const std::wstring& key : {progKey, classKey}) {
        LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            message = "Could not unregister: " + sv::win32::SystemMessage(status);
            return 1;
        }
    }
    return 0;
}

}  // namespace sv::standin::win32
