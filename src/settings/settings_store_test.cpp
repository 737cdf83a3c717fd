#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/failure.h"
#include "settings/memory_settings_store.h"

namespace sv {
namespace {

struct NumericCase {
    const char* text;
    double value;
};

class NumericValueTest : public testing::TestWithParam<NumericCase> {};

TEST_P(NumericValueTest, TakesTheNumberTheTextBeginsWith) {
    EXPECT_DOUBLE_EQ(NumericValue(GetParam().text), GetParam().value)
        << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, NumericValueTest,
                         testing::Values(NumericCase{"2abc", 2}, NumericCase{"", 0},
                                         NumericCase{"abc", 0}, NumericCase{"  3", 3},
                                         NumericCase{"-2.5x", -2.5}, NumericCase{"+7", 7},
                                         NumericCase{".5", 0.5}, NumericCase{"1 2", 12},
                                         NumericCase{"1e3", 1000}, NumericCase{"2e", 2},
                                         NumericCase{"2.5.1", 2.5}, NumericCase{"&H10", 16},
                                         NumericCase{"&HFFFF", -1}, NumericCase{"&O17", 15},
                                         NumericCase{"-", 0}, NumericCase{"On", 0}));

struct IntegerCase {
    const char* text;
    std::optional<int> value;  // nothing: the conversion fails
    const char* failure;
};

class ToInteger16Test : public testing::TestWithParam<IntegerCase> {};

TEST_P(ToInteger16Test, RoundsHalvesToEvenAndRejectsWhatIsNoNumber) {
    const IntegerCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(ToInteger16(c.text), *c.value) << '"' << c.text << '"';
        return;
    }
    try {
        ToInteger16(c.text);
        ADD_FAILURE() << '"' << c.text << "\" converted";
    } catch (const Failure& f) {
        EXPECT_STREQ(f.what(), c.failure) << '"' << c.text << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToInteger16Test,
    testing::Values(IntegerCase{"3", 3, ""}, IntegerCase{" 10 ", 10, ""}, IntegerCase{"2.5", 2, ""},
                    IntegerCase{"3.5", 4, ""}, IntegerCase{"-0.5", 0, ""},
                    IntegerCase{"-1.5", -2, ""}, IntegerCase{"2.6", 3, ""},
                    IntegerCase{"32767.4", 32767, ""}, IntegerCase{"-32768", -32768, ""},
                    IntegerCase{"-32768.5", -32768, ""}, IntegerCase{"&H7FFF", 32767, ""},
                    IntegerCase{"32767.5", std::nullopt, "Overflow"},
                    IntegerCase{"32768", std::nullopt, "Overflow"},
                    IntegerCase{"-32769", std::nullopt, "Overflow"},
                    IntegerCase{"1e10", std::nullopt, "Overflow"},
                    IntegerCase{"abc", std::nullopt, "Type mismatch"},
                    IntegerCase{"", std::nullopt, "Type mismatch"},
                    IntegerCase{"2abc", std::nullopt, "Type mismatch"},
                    IntegerCase{".", std::nullopt, "Type mismatch"},
                    IntegerCase{"-", std::nullopt, "Type mismatch"}));

// A store whose every read fails, as a broken registry would.
struct FailingStore : SettingsStore {
    std::optional<std::string> Read(const std::string&, const std::string&,
                                    const std::string&) override {
        throw Failure("Access is denied.");
    }
    void Write(const std::string&, const std::string&, const std::string&,
               const std::string&) override {
        throw Failure("Access is denied.");
    }
};

TEST(GetSetting, GivesTheStoredValueOrTheDefault) {
    MemorySettingsStore store;
    EXPECT_EQ(GetSetting(store, kSettingsApp, kSettingsSection, "OftenIndex", "3"), "3");
    EXPECT_EQ(GetSetting(store, kSettingsApp, kSettingsSection, "Backup Option"), "");
    store.Set("OftenIndex", "");
    // An empty stored value is a value, not a missing key.
    EXPECT_EQ(GetSetting(store, kSettingsApp, kSettingsSection, "OftenIndex", "3"), "");
    EXPECT_EQ(GetSetting(store, kSettingsApp, kSettingsSection, "oftenindex", "3"), "3");
}

TEST(GetSetting, AnUnreadableStoreGivesTheDefault) {
    FailingStore store;
    EXPECT_EQ(GetSetting(store, kSettingsApp, kSettingsSection, "StartStopState", "On"), "On");
}

TEST(SaveSetting, ReplacesTheValueUnderTheProgramsSection) {
    MemorySettingsStore store;
    SaveSetting(store, kSettingsApp, kSettingsSection, "Path", "C:\\a\\");
    SaveSetting(store, kSettingsApp, kSettingsSection, "Path", "D:\\b\\");
    ASSERT_EQ(store.Values().size(), 1u);
    EXPECT_EQ(store.Values().begin()->first,
              (MemorySettingsStore::Key{"Veltrane", "Stenvault", "Path"}));
    EXPECT_EQ(store.Value("Path"), "D:\\b\\");
}

TEST(SaveSetting, RefusesAnEmptyNameAndPassesWriteFailuresOn) {
    MemorySettingsStore store;
    EXPECT_THROW(SaveSetting(store, kSettingsApp, kSettingsSection, "", "x"), Failure);
    EXPECT_THROW(SaveSetting(store, "", kSettingsSection, "Path", "x"), Failure);
    EXPECT_EQ(store.Writes(), 0);
    FailingStore failing;
    EXPECT_THROW(SaveSetting(failing, kSettingsApp, kSettingsSection, "Path", "x"), Failure);
}

}  // namespace
}  // namespace sv
