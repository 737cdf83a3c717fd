#include "standin/registration_win32.h"

#include <objbase.h>

#include <utility>
#include <vector>

#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::standin::win32 {

using sv::win32::Narrow;
using sv::win32::UniqueKey;

namespace {

constexpr wchar_t kClassesRoot[] = L"Software\\Classes\\";

struct Served {
    const CLSID& clsid;
    const wchar_t* progId;
    const wchar_t* description;
    std::wstring arguments;  // after the executable on the LocalServer32 command line
};

std::vector<Served> ServedClasses() {
    return {{kStandinClsid, kProgId, L"Visio Stand-in", L""},
            {kInvisibleClsid, kInvisibleProgId, L"Visio Stand-in (invisible)",
             std::wstring(L" /") + kInvisibleSwitch}};
}

std::wstring ClsidText(const CLSID& clsid) {
    wchar_t text[64] = {};
    ::StringFromGUID2(clsid, text, 64);
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

// 0 when both ProgIDs are free or ours; a message otherwise.
int CheckOwnership(std::string& message) {
    for (const Served& served : ServedClasses()) {
        std::wstring registered;
        if (ReadDefault(HKEY_LOCAL_MACHINE, std::wstring(kClassesRoot) + served.progId + L"\\CLSID",
                        registered) &&
            _wcsicmp(registered.c_str(), ClsidText(served.clsid).c_str()) != 0) {
            message = Narrow(served.progId) + " is registered to another class (" +
                      Narrow(registered) + "); nothing is changed.";
            return 2;
        }
    }
    return 0;
}

}  // namespace

int RegisterServer(const std::wstring& exePath, std::string& message) {
    if (int refused = CheckOwnership(message)) {
        return refused;
    }
    for (const Served& served : ServedClasses()) {
        const std::wstring clsid = ClsidText(served.clsid);
        const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + clsid;
        const std::wstring progKey = std::wstring(kClassesRoot) + served.progId;
        const std::pair<std::wstring, std::wstring> entries[] = {
            {progKey, served.description},
            {progKey + L"\\CLSID", clsid},
            {classKey, served.description},
            {classKey + L"\\LocalServer32", L"\"" + exePath + L"\"" + served.arguments},
            {classKey + L"\\ProgID", served.progId},
        };
        for (const auto& [key, value] : entries) {
            if (LSTATUS status = WriteDefault(key, value); status != ERROR_SUCCESS) {
                message = "Could not register: " + sv::win32::SystemMessage(status);
                return 1;
            }
        }
    }
    return 0;
}

int UnregisterServer(std::string& message) {
    if (int refused = CheckOwnership(message)) {
        return refused;
    }
    for (const Served& served : ServedClasses()) {
        for (const std::wstring& key :
             {std::wstring(kClassesRoot) + served.progId,
              std::wstring(kClassesRoot) + L"CLSID\\" + ClsidText(served.clsid)}) {
            LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
                message = "Could not unregister: " + sv::win32::SystemMessage(status);
                return 1;
            }
        }
    }
    return 0;
}

}  // namespace sv::standin::win32
