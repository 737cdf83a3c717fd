#include "settings/registry_settings_store_win32.h"

#include <windows.h>

#include <vector>

#include "common/failure.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {

std::string SettingsKeyPath(const std::string& app, const std::string& section) {
    return "Software\\VB and VBA Program Settings\\" + app + "\\" + section;
}

std::optional<std::string> RegistrySettingsStore::Read(const std::string& app,
                                                       const std::string& section,
                                                       const std::string& key) {
    UniqueKey hkey;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Widen(SettingsKeyPath(app, section)).c_str(), 0,
                        KEY_QUERY_VALUE, hkey.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring name = Widen(key);
    // The value may grow between the size query and the read; ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return std::nullopt;
        }
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        LSTATUS rc = ::RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        // Stored strings need not be terminated; stop at the first NUL if there is one.
        std::size_t chars = size / sizeof(wchar_t);
        std::wstring_view text(buffer.data(), chars);
        if (auto nul = text.find(L'\0'); nul != std::wstring_view::npos)
            text = text.substr(0, nul);
        return Narrow(text);
    }
    return std::nullopt;
}

void RegistrySettingsStore::Write(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& value) {
    UniqueKey hkey;
    LSTATUS rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, Widen(SettingsKeyPath(app, section)).c_str(),
                                   0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                   hkey.put(), nullptr);
    if (rc != ERROR_SUCCESS)
        throw Failure(SystemMessage(static_cast<unsigned long>(rc)));
    std::wstring data = Widen(value);
    rc = ::RegSetValueExW(hkey.get(), Widen(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS)
        throw Failure(SystemMessage(static_cast<unsigned long>(rc)));
}

}  // namespace sv::win32
