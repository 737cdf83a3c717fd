#include "setup_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sv {
namespace {

constexpr char kInstalled[] = "C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe";

struct RunCase {
    std::string data;
    bool starts;
};

class RunDataStartsTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunDataStartsTest, MatchesOnlyTheInstalledProgram) {
    EXPECT_EQ(RunDataStarts(GetParam().data, kInstalled), GetParam().starts) << GetParam().data;
}

INSTANTIATE_TEST_SUITE_P(
    Values, RunDataStartsTest,
    ::testing::Values(
        // What the program itself writes: the quoted full path.
        RunCase{"\"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe\"", true},
        RunCase{"\"c:\\users\\ann\\appdata\\local\\programs\\stenvault\\STENVAULT.EXE\"", true},
        RunCase{"  \"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe\" /x",
                true},
        RunCase{"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe", true},
        RunCase{"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe /tray", true},
        // A copy started from elsewhere keeps its entry.
        RunCase{"\"C:\\Tools\\stenvault.exe\"", false},
        RunCase{"\"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe.old\"",
                false},
        RunCase{"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault.exe2", false},
        RunCase{"\"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\\stenvault", false},
        RunCase{"\"C:\\Users\\Ann\\AppData\\Local\\Programs\\Stenvault\"\\stenvault.exe", false},
        RunCase{"", false}, RunCase{"\"\"", false}));

TEST(RunDataStartsTest, NonAsciiLettersCompareExactly) {
    EXPECT_TRUE(RunDataStarts("\"C:\\Ärger\\stenvault.exe\"", "C:\\Ärger\\stenvault.exe"));
    EXPECT_FALSE(RunDataStarts("\"C:\\ärger\\stenvault.exe\"", "C:\\Ärger\\stenvault.exe"));
    EXPECT_FALSE(RunDataStarts("\"\"", ""));
}

struct ParseCase {
    std::vector<std::string> args;
    bool understood;
    SetupCommand::Action action;
    bool quiet;
};

class ParseSetupCommandTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseSetupCommandTest, ReadsTheInstallersCommand) {
    const ParseCase& c = GetParam();
    auto command = ParseSetupCommand(c.args);
    ASSERT_EQ(command.has_value(), c.understood);
    if (command) {
        EXPECT_EQ(command->action, c.action);
        EXPECT_EQ(command->program, c.args[1]);
        EXPECT_EQ(command->quiet, c.quiet);
        if (c.action == SetupCommand::Action::ForgetStartup) {
            EXPECT_EQ(command->upgradeCode, c.args[2]);
            EXPECT_EQ(command->removedProduct, c.args[3]);
        }
    }
}

using A = SetupCommand::Action;
INSTANTIATE_TEST_SUITE_P(
    Commands, ParseSetupCommandTest,
    ::testing::Values(
        ParseCase{{"close", kInstalled, "2"}, true, A::Close, true},  // /qn
        ParseCase{{"close", kInstalled, "3"}, true, A::Close, true},  // /qb
        ParseCase{{"close", kInstalled, "4"}, true, A::Close, false},
        ParseCase{{"close", kInstalled, "5"}, true, A::Close, false},
        ParseCase{{"close", kInstalled}, true, A::Close, true},
        ParseCase{{"forget-startup", kInstalled, "{U}", "{P}"}, true, A::ForgetStartup, true},
        ParseCase{{"forget-startup", kInstalled}, false, A::Close, true},
        ParseCase{{"forget-startup", kInstalled, "{U}", ""}, false, A::Close, true},
        ParseCase{{"close", ""}, false, A::Close, true},
        ParseCase{{"close"}, false, A::Close, true},
        ParseCase{{"remove", kInstalled}, false, A::Close, true},
        ParseCase{{}, false, A::Close, true}));

TEST(AnotherVersionStaysTest, OnlyAProductOtherThanTheRemovedOneCounts) {
    const std::string removed = "{04D2DB6D-3716-55EF-BDFB-94D11C0598F3}";
    const std::string newer = "{99030708-FC18-5B57-908F-9823E5DF1AA1}";
    EXPECT_FALSE(AnotherVersionStays({}, removed));
    EXPECT_FALSE(AnotherVersionStays({removed}, removed));
    EXPECT_FALSE(AnotherVersionStays({"{04d2db6d-3716-55ef-bdfb-94d11c0598f3}"}, removed));
    EXPECT_TRUE(AnotherVersionStays({removed, newer}, removed));
    EXPECT_TRUE(AnotherVersionStays({newer}, removed));
}

}  // namespace
}  // namespace sv
