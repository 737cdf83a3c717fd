#include "settings/registry_settings_store_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {
namespace {

// Works under an application name of its own and removes it afterwards.
class RegistrySettingsStoreTest : public testing::Test {
  protected:
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, Widen(SettingsKeyPath(app_, "")).c_str());
    }
    std::string app_ = "SvRegistryTest" + std::to_string(::GetCurrentProcessId());
    RegistrySettingsStore store_;
};

TEST_F(RegistrySettingsStoreTest, WritesReadableStringValuesUnderTheClassicKey) {
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Path"), std::nullopt);
    store_.Write(app_, "Stenvault", "Path", "C:\\Users\\A\\Desktop\\");
    store_.Write(app_, "Stenvault", "Backup Option", "");
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Path"), "C:\\Users\\A\\Desktop\\");
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Backup Option"), "");
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Missing"), std::nullopt);
    EXPECT_EQ(store_.Read(app_, "Other", "Path"), std::nullopt);

    UniqueKey key;
    ASSERT_EQ(
        ::RegOpenKeyExW(
            HKEY_CURRENT_USER,
            (L"Software\\VB and VBA Program Settings\\" + Widen(app_) + L"\\Stenvault").c_str(), 0,
            KEY_QUERY_VALUE, key.put()),
        ERROR_SUCCESS);
    DWORD type = 0;
    wchar_t data[64];
    DWORD size = sizeof data;
    EXPECT_EQ(::RegQueryValueExW(key.get(), L"Path", nullptr, &type, reinterpret_cast<BYTE*>(data),
                                 &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, L"C:\\Users\\A\\Desktop\\");
}

TEST_F(RegistrySettingsStoreTest, ReplacesValuesAndKeepsCaseAndNonAsciiText) {
    store_.Write(app_, "Stenvault", "StartStopState", "On");
    store_.Write(app_, "Stenvault", "StartStopState", "Off");
    EXPECT_EQ(store_.Read(app_, "Stenvault", "StartStopState"), "Off");
    store_.Write(app_, "Stenvault", "Path", "D:\\Pl\xC3\xA4ne\\");
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Path"), "D:\\Pl\xC3\xA4ne\\");
    std::string longText(5000, 'x');
    store_.Write(app_, "Stenvault", "Path", longText);
    EXPECT_EQ(store_.Read(app_, "Stenvault", "Path"), longText);
}

TEST_F(RegistrySettingsStoreTest, ValueOfAnotherTypeReadsAsMissing) {
    store_.Write(app_, "Stenvault", "Path", "x");
    UniqueKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, Widen(SettingsKeyPath(app_, "Stenvault")).c_str(),
                              0, KEY_SET_VALUE, key.put()),
              ERROR_SUCCESS);
    DWORD number = 3;
    ::RegSetValueExW(key.get(), L"OftenIndex", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                     sizeof number);
    key.reset();
    EXPECT_EQ(store_.Read(app_, "Stenvault", "OftenIndex"), std::nullopt);
    EXPECT_EQ(GetSetting(store_, app_, "Stenvault", "OftenIndex", "3"), "3");
}

}  // namespace
}  // namespace sv::win32
