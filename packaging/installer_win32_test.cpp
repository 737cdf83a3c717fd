// The Windows Installer package under Wine: msiexec installs, upgrades and removes the real
// program, which the tests start from where it was installed.
#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/testing/program_win32.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"
#include "stenvault_version.h"

namespace sv::win32::testing {
namespace {

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};
using UniqueModule = Unique<ModuleTraits>;

std::wstring Folder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        folder = path;
    }
    ::CoTaskMemFree(path);
    return folder;
}

std::wstring InstalledProgram() {
    return Folder(FOLDERID_LocalAppData) + L"\\Programs\\Stenvault\\stenvault.exe";
}

// The check program, installed beside the program and built beside it.
std::wstring InstalledCheck() {
    return Folder(FOLDERID_LocalAppData) + L"\\Programs\\Stenvault\\stenvault-check.exe";
}

std::wstring BuiltCheck() {
    std::wstring program = ProgramPath();
    return program.substr(0, program.find_last_of(L'\\') + 1) + L"stenvault-check.exe";
}

std::wstring Shortcut() {
    return Folder(FOLDERID_Programs) + L"\\Stenvault.lnk";
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Package(const wchar_t* name) {
    std::wstring beside = ProgramPath();
    return beside.substr(0, beside.find_last_of(L'\\') + 1) + L"installer-test\\" + name + L".msi";
}

std::string Contents(const std::wstring& path) {
    std::ifstream in(Narrow(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// msiexec's exit code.
DWORD Msiexec(const std::wstring& arguments) {
    std::wstring commandLine = L"msiexec.exe " + arguments + L" /qn";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return ::GetLastError();
    }
    UniqueHandle process(info.hProcess);
    ::CloseHandle(info.hThread);
    ::WaitForSingleObject(process.get(), 120000);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return code;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property) {
    wchar_t value[512] = {};
    DWORD size = 512;
    if (::MsiGetProductInfoW(product.c_str(), property, value, &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

// Our entries in the installed-programs list, whatever their version. Not looked up by upgrade
// code: Wine drops that registration of the newer product when it removes the older one.
std::vector<std::wstring> InstalledEntries() {
    std::vector<std::wstring> products;
    wchar_t product[39];
    for (DWORD i = 0; ::MsiEnumProductsW(i, product) == ERROR_SUCCESS; ++i) {
        if (ProductInfo(product, L"InstalledProductName") == L"Stenvault" &&
            ProductInfo(product, L"Publisher") == L"Veltrane") {
            products.emplace_back(product);
        }
    }
    return products;
}

std::wstring FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    std::vector<BYTE> data(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() ||
        !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
        return {};
    }
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS));
}

std::string ManifestOf(const std::wstring& path) {
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return {};
    }
    HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    HGLOBAL loaded = found ? ::LoadResource(module.get(), found) : nullptr;
    if (!loaded) {
        return {};
    }
    return std::string(static_cast<const char*>(::LockResource(loaded)),
                       ::SizeofResource(module.get(), found));
}

void SetRunValue(HKEY root, const std::wstring& data) {
    UniqueKey key;
    ASSERT_EQ(
        ::RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    ::RegSetValueExW(key.get(), kRunValueName, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

const std::wstring kThisVersion = std::to_wstring(SV_VERSION_MAJOR) + L"." +
                                  std::to_wstring(SV_VERSION_MINOR) + L"." +
                                  std::to_wstring(SV_VERSION_PATCH);

// Every test starts and ends with nothing of ours installed.
class InstallerTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        RemoveAll();
    }
    void TearDown() override {
        RemoveAll();
        ProgramTest::TearDown();
    }
    static void RemoveAll() {
        for (const std::wstring& product : InstalledEntries()) {
            Msiexec(L"/x " + product);
        }
    }
};

TEST_F(InstallerTest, InstallsForTheUserWithShortcutAndOneEntry) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);

    EXPECT_TRUE(Exists(InstalledProgram())) << Narrow(InstalledProgram());
    EXPECT_EQ(Contents(InstalledProgram()), Contents(ProgramPath()));
    EXPECT_TRUE(Exists(InstalledCheck())) << Narrow(InstalledCheck());
    EXPECT_TRUE(Contents(InstalledCheck()) == Contents(BuiltCheck()));
    EXPECT_TRUE(Exists(Shortcut())) << Narrow(Shortcut());
    std::vector<std::wstring> entries = InstalledEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(ProductInfo(entries[0], L"InstalledProductName"), L"Stenvault");
    EXPECT_EQ(ProductInfo(entries[0], L"VersionString"), kThisVersion);
    EXPECT_EQ(ProductInfo(entries[0], L"Publisher"), L"Veltrane");
    EXPECT_FALSE(ProductInfo(entries[0], L"ProductIcon").empty());
    // The one version number reaches the executable too.
    EXPECT_EQ(FileVersion(InstalledProgram()), kThisVersion);
    EXPECT_NE(ManifestOf(InstalledProgram()).find("version=\"" + Narrow(kThisVersion) + ".0\""),
              std::string::npos);
}

TEST_F(InstallerTest, UninstallRemovesProgramShortcutAndItsRunValueAndKeepsSettings) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);
    {
        Program program(InstalledProgram());
        ASSERT_NE(program.WaitForWindow(), nullptr);
        ::SendMessageW(program.Control(Control::Check5), BM_CLICK, 0, 0);
        std::optional<std::wstring> value = RunValue(HKEY_LOCAL_MACHINE);
        if (!value) {
            value = RunValue(HKEY_CURRENT_USER);
        }
        EXPECT_EQ(value, L"\"" + InstalledProgram() + L"\"");
        ASSERT_TRUE(program.Close());
    }
    ASSERT_FALSE(StoredSettings().empty());
    // The machine-wide value starts the installed copy; the per-user one a copy started from
    // elsewhere, which keeps it.
    SetRunValue(HKEY_LOCAL_MACHINE, L"\"" + InstalledProgram() + L"\"");
    SetRunValue(HKEY_CURRENT_USER, L"\"C:\\Tools\\stenvault.exe\"");

    ASSERT_EQ(Msiexec(L"/x \"" + Package(L"current") + L"\""), 0u);

    EXPECT_FALSE(Exists(InstalledProgram()));
    EXPECT_FALSE(Exists(InstalledCheck()));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_TRUE(InstalledEntries().empty());
    EXPECT_EQ(RunValue(HKEY_LOCAL_MACHINE), std::nullopt);
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), L"\"C:\\Tools\\stenvault.exe\"");
    EXPECT_FALSE(StoredSettings().empty());
}

TEST_F(InstallerTest, UninstallClosesTheRunningProgramFirst) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);
    Program program(InstalledProgram());
    ASSERT_NE(program.WaitForWindow(), nullptr);

    EXPECT_EQ(Msiexec(L"/x \"" + Package(L"current") + L"\""), 0u);

    EXPECT_TRUE(program.Exited(0ms));
    EXPECT_FALSE(Exists(InstalledProgram()));
    EXPECT_FALSE(Exists(InstalledProgram().substr(0, InstalledProgram().find_last_of(L'\\'))));
    EXPECT_TRUE(InstalledEntries().empty());
}

TEST_F(InstallerTest, SameVersionAgainLeavesOneEntry) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);
    EXPECT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);
    // A rebuilt package of the same version is the same product: at most refused.
    Msiexec(L"/i \"" + Package(L"rebuilt") + L"\"");

    EXPECT_EQ(InstalledEntries().size(), 1u);
    EXPECT_TRUE(Exists(InstalledProgram()));
}

TEST_F(InstallerTest, NewerOverARunningOlderReplacesIt) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"older") + L"\""), 0u);
    ASSERT_EQ(ProductInfo(InstalledEntries().at(0), L"VersionString"), L"0.9.0");
    std::optional<Program> older(std::in_place, InstalledProgram());
    ASSERT_NE(older->WaitForWindow(), nullptr);
    // The newer one starts with Windows as the older one did: same path, same value.
    SetRunValue(HKEY_CURRENT_USER, L"\"" + InstalledProgram() + L"\"");

    EXPECT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);

    EXPECT_TRUE(older->Exited(0ms));
    older.reset();
    std::vector<std::wstring> entries = InstalledEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(ProductInfo(entries[0], L"VersionString"), kThisVersion);
    EXPECT_EQ(Contents(InstalledProgram()), Contents(ProgramPath()));
    EXPECT_TRUE(Exists(Shortcut()));
    EXPECT_EQ(RunValue(HKEY_CURRENT_USER), L"\"" + InstalledProgram() + L"\"");
    Program again(InstalledProgram());
    EXPECT_NE(again.WaitForWindow(), nullptr);
}

struct Answer {
    const char* name;
    int button;
    DWORD exitCode;
    bool programRuns;
};

class SetupAsksTest : public InstallerTest, public ::testing::WithParamInterface<Answer> {};

// Outside a silent installation the helper asks before it closes the program.
TEST_P(SetupAsksTest, BeforeClosingTheRunningProgram) {
    ASSERT_EQ(Msiexec(L"/i \"" + Package(L"current") + L"\""), 0u);
    Program program(InstalledProgram());
    ASSERT_NE(program.WaitForWindow(), nullptr);
    std::wstring helper = InstalledProgram();
    helper.replace(helper.find_last_of(L'\\') + 1, std::wstring::npos, L"stenvault-setup.exe");
    std::wstring commandLine = L"\"" + helper + L"\" close \"" + InstalledProgram() + L"\" 5";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info));
    UniqueHandle setup(info.hProcess);
    ::CloseHandle(info.hThread);

    HWND box = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            box = ::FindWindowW(L"#32770", L"Stenvault Setup");
            return box && ProcessOf(box) == info.dwProcessId;
        },
        20s));
    ::SendMessageW(::GetDlgItem(box, GetParam().button), BM_CLICK, 0, 0);

    ASSERT_EQ(::WaitForSingleObject(setup.get(), 90000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(setup.get(), &code);
    EXPECT_EQ(code, GetParam().exitCode);
    EXPECT_EQ(!program.Exited(0ms), GetParam().programRuns);
}

INSTANTIATE_TEST_SUITE_P(Answers, SetupAsksTest,
                         ::testing::Values(Answer{"Ok", IDOK, 0, false},
                                           Answer{"Cancel", IDCANCEL, 1602, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::win32::testing
