#include "platform/startup_entry.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "settings/memory_settings_store.h"

namespace sv {
namespace {

// Two roots of string values; a root can refuse to open, and open keys are counted.
struct FakeRegistry : Registry {
    std::map<RegistryRoot, std::map<std::string, std::string>> values;
    std::set<RegistryRoot> refused;
    // Roots whose key opens but takes no value.
    std::set<RegistryRoot> readOnly;
    std::vector<std::tuple<RegistryRoot, std::string, std::uint32_t>> opens;
    std::map<Key, RegistryRoot> open;
    Key next = 1;

    std::optional<Key> Open(RegistryRoot root, const std::string& subKey,
                            std::uint32_t access) override {
        opens.emplace_back(root, subKey, access);
        if (refused.count(root)) {
            return std::nullopt;
        }
        open[next] = root;
        return next++;
    }
    bool SetString(Key key, const std::string& name, const std::string& value) override {
        if (readOnly.count(open.at(key))) {
            return false;
        }
        values[open.at(key)][name] = value;
        return true;
    }
    bool DeleteValue(Key key, const std::string& name) override {
        return values[open.at(key)].erase(name) > 0;
    }
    void Close(Key key) override { open.erase(key); }

    std::map<std::string, std::string> At(RegistryRoot root) { return values[root]; }
};

using Values = std::map<std::string, std::string>;
constexpr auto kMachine = RegistryRoot::LocalMachine;
constexpr auto kUser = RegistryRoot::CurrentUser;

TEST(StartupEntry, NamedAfterTheRunningProgramWithItsQuotedPath) {
    FakeRegistry reg;
    AddStartupEntry(reg, "C:\\Program Files\\Veltrane\\stenvault.exe");
    EXPECT_EQ(reg.At(kMachine),
              (Values{{"stenvault.exe", "\"C:\\Program Files\\Veltrane\\stenvault.exe\""}}));
    EXPECT_TRUE(reg.At(kUser).empty());
    ASSERT_EQ(reg.opens.size(), 1u);
    EXPECT_EQ(reg.opens[0], std::make_tuple(kMachine,
                                            std::string("SOFTWARE\\MICROSOFT\\WINDOWS\\"
                                                        "CURRENTVERSION\\RUN\\"),
                                            0x3Fu));
    EXPECT_TRUE(reg.open.empty());
}

// folder as the program reports it -> data
class RunValueData : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(RunValueData, ExactlyOneBackslashBeforeTheName) {
    FakeRegistry reg;
    SetRunValue(reg, std::get<0>(GetParam()), "stenvault.exe");
    EXPECT_EQ(reg.At(kMachine)["stenvault.exe"], std::get<1>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    StartupEntry, RunValueData,
    ::testing::Values(std::make_tuple("C:\\", "\"C:\\stenvault.exe\""),
                      std::make_tuple("C:", "\"C:\\stenvault.exe\""),
                      std::make_tuple("D:\\Tools", "\"D:\\Tools\\stenvault.exe\""),
                      std::make_tuple("D:\\Tools\\", "\"D:\\Tools\\stenvault.exe\"")));

// The machine-wide key refused at open or at write: the value goes to the user's key, and
// every key opened is closed.
class RefusedMachineKey : public ::testing::TestWithParam<bool> {};

TEST_P(RefusedMachineKey, FallsBackToTheUserKey) {
    FakeRegistry reg;
    if (GetParam()) {
        reg.refused = {kMachine};
    } else {
        reg.readOnly = {kMachine};
    }
    AddStartupEntry(reg, "C:\\App\\stenvault.exe");
    EXPECT_EQ(reg.At(kUser), (Values{{"stenvault.exe", "\"C:\\App\\stenvault.exe\""}}));
    EXPECT_TRUE(reg.At(kMachine).empty());
    ASSERT_EQ(reg.opens.size(), 2u);
    EXPECT_EQ(std::get<0>(reg.opens[0]), kMachine);
    EXPECT_EQ(std::get<0>(reg.opens[1]), kUser);
    EXPECT_TRUE(reg.open.empty());
}

INSTANTIATE_TEST_SUITE_P(StartupEntry, RefusedMachineKey, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "AtOpen" : "AtWrite"; });

TEST(StartupEntry, NeitherKeyOpensAndNothingIsWritten) {
    FakeRegistry reg;
    reg.refused = {kMachine, kUser};
    AddStartupEntry(reg, "C:\\App\\stenvault.exe");
    RemoveStartupEntry(reg, "C:\\App\\stenvault.exe");
    EXPECT_TRUE(reg.values.empty());
}

TEST(StartupEntry, RemoveClearsBothKeysAndLeavesOtherValues) {
    FakeRegistry reg;
    reg.values[kMachine] = {{"stenvault.exe", "x"}, {"other.exe", "o"}};
    reg.values[kUser] = {{"stenvault.exe", "y"}};
    RemoveStartupEntry(reg, "C:\\App\\stenvault.exe");
    EXPECT_EQ(reg.At(kMachine), (Values{{"other.exe", "o"}}));
    EXPECT_TRUE(reg.At(kUser).empty());
    EXPECT_TRUE(reg.open.empty());
    // Nothing left to remove: fails quietly.
    RemoveStartupEntry(reg, "C:\\App\\stenvault.exe");
}

TEST(StartupEntry, UnknownProgramPathTouchesNothing) {
    FakeRegistry reg;
    AddStartupEntry(reg, "");
    RemoveStartupEntry(reg, "C:\\");
    EXPECT_TRUE(reg.opens.empty());
}

struct FakeView : StartupOptionView {
    std::vector<std::string> trace;
    void SetCheck8Visible(bool visible) override { trace.push_back(visible ? "show8" : "hide8"); }
    void ClearCheck8() override { trace.push_back("clear8"); }
};

constexpr char kExe[] = "C:\\App\\stenvault.exe";

TEST(Check5, IgnoredWhileSettingsLoad) {
    FakeView view;
    MemorySettingsStore settings;
    FakeRegistry reg;
    Check5Click(true, true, view, settings, reg, kExe);
    Check5Click(true, false, view, settings, reg, kExe);
    EXPECT_TRUE(view.trace.empty());
    EXPECT_EQ(settings.Writes(), 0);
    EXPECT_TRUE(reg.opens.empty());
}

TEST(Check5, TickThenClearLeavesNoValueAndHidesCheck8) {
    FakeView view;
    MemorySettingsStore settings;
    FakeRegistry reg;

    Check5Click(false, true, view, settings, reg, kExe);
    EXPECT_EQ(view.trace, std::vector<std::string>{"show8"});
    EXPECT_EQ(settings.Value("Windows Startup"), "On");
    EXPECT_EQ(reg.At(kMachine).size(), 1u);

    Check5Click(false, false, view, settings, reg, kExe);
    EXPECT_EQ(view.trace, (std::vector<std::string>{"show8", "clear8", "hide8"}));
    EXPECT_EQ(settings.Value("Windows Startup"), "Off");
    EXPECT_TRUE(reg.At(kMachine).empty());
    EXPECT_TRUE(reg.At(kUser).empty());
}

TEST(Check5, SettingFollowsTheChoiceEvenWithoutRegistryRights) {
    FakeView view;
    MemorySettingsStore settings;
    FakeRegistry reg;
    reg.refused = {kMachine, kUser};
    Check5Click(false, true, view, settings, reg, kExe);
    EXPECT_EQ(settings.Value("Windows Startup"), "On");
}

}  // namespace
}  // namespace sv
