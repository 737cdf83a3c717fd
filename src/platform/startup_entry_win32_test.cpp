#include "platform/startup_entry_win32.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/text_win32.h"
#include "settings/memory_settings_store.h"

namespace sv::win32 {
namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";

// The value's type and data as raw bytes, or nothing when it is absent or the key won't open.
struct RawValue {
    DWORD type = 0;
    std::string bytes;
};
std::optional<RawValue> ReadRunValue(HKEY root, const std::string& name) {
    UniqueKey key;
    if (::RegOpenKeyExW(root, kRunKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue v;
    DWORD size = 0;
    std::wstring wname = Widen(name);
    if (::RegQueryValueExW(key.get(), wname.c_str(), nullptr, &v.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Read as bytes through the ANSI call, the way the program wrote them.
    v.bytes.resize(size);
    ::RegQueryValueExA(key.get(), ToAnsi(name).c_str(), nullptr, &v.type,
                       reinterpret_cast<BYTE*>(v.bytes.data()), &size);
    v.bytes.resize(size);
    return v;
}

// The real registry, with the machine-wide root made to refuse: either its key will not
// open, or it opens and then the write fails.
enum class Refusal { Open, Write };

struct Refusing : Win32Registry {
    Refusal refusal = Refusal::Open;
    std::set<Key> machineKeys;
    std::optional<Key> Open(RegistryRoot root, const std::string& subKey,
                            std::uint32_t access) override {
        if (root == RegistryRoot::LocalMachine && refusal == Refusal::Open) {
            return std::nullopt;
        }
        std::optional<Key> key = Win32Registry::Open(root, subKey, access);
        if (key && root == RegistryRoot::LocalMachine) {
            machineKeys.insert(*key);
        }
        return key;
    }
    bool SetString(Key key, const std::string& name, const std::string& value) override {
        if (machineKeys.count(key)) {
            return false;
        }
        return Win32Registry::SetString(key, name, value);
    }
    void Close(Key key) override {
        machineKeys.erase(key);
        Win32Registry::Close(key);
    }
};

bool MachineKeyWritable() {
    UniqueKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, key.put()) ==
           ERROR_SUCCESS;
}

struct NoView : StartupOptionView {
    void SetCheck8Visible(bool) override {}
    void ClearCheck8() override {}
};

std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

TEST(RunningExecutable, IsThisTestProgram) {
    std::string path = RunningExecutablePath();
    EXPECT_EQ(FileName(path), "platform_win32_tests.exe");
    EXPECT_EQ(path.find(':'), 1u);
}

class RunKeyOnWine : public ::testing::Test {
  protected:
    std::string exe = RunningExecutablePath();
    std::string name = FileName(exe);
    std::string expected = "\"" + exe + "\"";
    NoView view;
    MemorySettingsStore settings;

    void TearDown() override {
        Win32Registry registry;
        RemoveStartupEntry(registry, exe);
    }
};

TEST_F(RunKeyOnWine, TickWritesQuotedPathAsAnsiStringAndClearRemovesIt) {
    Win32Registry registry;
    Check5Click(false, true, view, settings, registry, exe);

    // The machine-wide key when this user may write it, the user's own key only otherwise.
    bool machineWide = MachineKeyWritable();
    auto machine = ReadRunValue(HKEY_LOCAL_MACHINE, name);
    auto user = ReadRunValue(HKEY_CURRENT_USER, name);
    ASSERT_EQ(machine.has_value(), machineWide);
    ASSERT_EQ(user.has_value(), !machineWide);
    const RawValue& v = machineWide ? *machine : *user;
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.bytes, ToAnsi(expected) + '\0');  // NUL counted in the size

    Check5Click(false, false, view, settings, registry, exe);
    EXPECT_FALSE(ReadRunValue(HKEY_LOCAL_MACHINE, name));
    EXPECT_FALSE(ReadRunValue(HKEY_CURRENT_USER, name));
}

class RefusedMachineKey : public RunKeyOnWine, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedMachineKey, PutsTheValueInTheUserKey) {
    Refusing registry;
    registry.refusal = GetParam();
    AddStartupEntry(registry, exe);
    EXPECT_FALSE(ReadRunValue(HKEY_LOCAL_MACHINE, name));
    auto user = ReadRunValue(HKEY_CURRENT_USER, name);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->bytes, ToAnsi(expected) + '\0');
    EXPECT_TRUE(registry.machineKeys.empty());

    Win32Registry plain;
    RemoveStartupEntry(plain, exe);
    EXPECT_FALSE(ReadRunValue(HKEY_CURRENT_USER, name));
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedMachineKey,
                         ::testing::Values(Refusal::Open, Refusal::Write), [](const auto& info) {
                             return info.param == Refusal::Open ? "AtOpen" : "AtWrite";
                         });

}  // namespace
}  // namespace sv::win32
