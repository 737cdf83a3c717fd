#include "platform/startup_entry_win32.h"

#include <string>
#include <vector>

#include "common/text_win32.h"

namespace sv::win32 {
namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY ToHkey(Registry::Key key) {
    return reinterpret_cast<HKEY>(key);
}

}  // namespace

Win32Registry::~Win32Registry() = default;

std::optional<Registry::Key> Win32Registry::Open(RegistryRoot root, const std::string& subKey,
                                                 std::uint32_t access) {
    UniqueKey key;
    if (::RegOpenKeyExA(RootKey(root), ToAnsi(subKey).c_str(), 0, access, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    Key handle = reinterpret_cast<Key>(key.get());
    open_.push_back(std::move(key));
    return handle;
}

bool Win32Registry::SetString(Key key, const std::string& name, const std::string& value) {
    std::string data = ToAnsi(value);
    // REG_SZ is stored with its terminating NUL counted.
    return ::RegSetValueExA(ToHkey(key), ToAnsi(name).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool Win32Registry::DeleteValue(Key key, const std::string& name) {
    return ::RegDeleteValueA(ToHkey(key), ToAnsi(name).c_str()) == ERROR_SUCCESS;
}

void Win32Registry::Close(Key key) {
    for (auto it = open_.begin(); it != open_.end(); ++it) {
        if (it->get() == ToHkey(key)) {
            open_.erase(it);  // RegCloseKey
            return;
        }
    }
}

std::string RunningExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return Narrow(std::wstring_view(buffer.data(), n));
        }
        buffer.resize(buffer.size() * 2);
        if (buffer.size() > 32768) {
            return {};
        }
    }
}

}  // namespace sv::win32
