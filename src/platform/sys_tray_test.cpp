#include "platform/sys_tray.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/failure.h"

namespace sv {
namespace {

struct Call {
    std::uint32_t operation;
    TrayIconRecord record;
};

// Records shell calls; time passes only when the component waits.
struct FakeShell : TrayShell {
    std::vector<Call> calls;
    std::vector<std::string> hookTrace;
    std::vector<std::int64_t> pumps;
    std::int64_t now = 1000;
    // What happens inside one wait; by default the whole timeout passes quietly.
    std::function<bool(std::int64_t)> onPump;
    // So many adds are refused, as by a taskbar that is not there yet.
    int refuseAdds = 0;
    // Whether a modify finds the icon (after a refused add it normally does not).
    bool modifyFindsIcon = true;
    std::vector<std::int64_t> timerStarts;
    bool timerRunning = false;

    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override {
        calls.push_back({operation, record});
        if (operation == nim::kAdd && refuseAdds > 0) {
            --refuseAdds;
            return false;
        }
        return operation != nim::kModify || modifyFindsIcon;
    }
    void HookWindow(cSysTray&) override { hookTrace.push_back("hook"); }
    void UnhookWindow() override { hookTrace.push_back("unhook"); }
    void StartRetryTimer(std::int64_t periodMs) override {
        timerStarts.push_back(periodMs);
        timerRunning = true;
    }
    void StopRetryTimer() override { timerRunning = false; }
    bool PumpEvents(std::int64_t timeoutMs) override {
        pumps.push_back(timeoutMs);
        if (onPump) {
            return onPump(timeoutMs);
        }
        now += timeoutMs;
        return true;
    }
    std::int64_t MonotonicMilliseconds() override { return now; }
};

constexpr TrayPicture kIcon{0x1234, kPictureTypeIcon};

TrayIconRecord Record(std::uint32_t flags) {
    TrayIconRecord r;
    r.cbSize = kTrayRecordSize;
    r.uFlags = flags;
    return r;
}

class TrayTest : public ::testing::Test {
  protected:
    FakeShell shell;
    std::unique_ptr<cSysTray> tray = std::make_unique<cSysTray>(shell);
    std::vector<std::string> changes;

    void SetUp() override {
        tray->Events().PropertyChanged = [this](std::string_view p) { changes.emplace_back(p); };
    }
    void PutInTray() {
        tray->SetInTray(true);
        shell.calls.clear();
        changes.clear();
    }
};

TEST_F(TrayTest, SettingInTrayToItsValueDoesNothing) {
    tray->SetInTray(false);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(changes.empty());

    tray->SetInTray(true);
    tray->SetInTray(true);
    EXPECT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.hookTrace, std::vector<std::string>{"hook"});
    EXPECT_EQ(changes, std::vector<std::string>{"InTray"});
}

// tip, icon -> flags of the add record
class AddIconFlags : public TrayTest,
                     public ::testing::WithParamInterface<
                         std::tuple<std::string, std::optional<TrayPicture>, std::uint32_t>> {};

TEST_P(AddIconFlags, AddNamesOnlyWhatIsThere) {
    auto [tip, icon, flags] = GetParam();
    tray->SetTrayIcon(icon);
    tray->SetTrayTip(tip);
    shell.calls.clear();

    tray->SetInTray(true);

    TrayIconRecord expected = Record(flags);
    expected.uCallbackMessage = 0x465;
    expected.icon = icon ? icon->handle : 0;
    expected.tip = tip;
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
    EXPECT_EQ(shell.calls[0].record, expected);
    EXPECT_TRUE(tray->IconAdded());
}

INSTANTIATE_TEST_SUITE_P(
    Tray, AddIconFlags,
    ::testing::Values(std::make_tuple("", std::nullopt, 0x01u),
                      std::make_tuple("Stenvault", std::nullopt, 0x05u),
                      std::make_tuple("", std::optional<TrayPicture>(kIcon), 0x03u),
                      std::make_tuple("Stenvault", std::optional<TrayPicture>(kIcon), 0x07u)));

TEST_F(TrayTest, LeavingTheTrayDeletesTheIconThenUnhooks) {
    PutInTray();
    tray->SetInTray(false);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kDelete);
    EXPECT_EQ(shell.calls[0].record, Record(0));
    EXPECT_EQ(shell.hookTrace, (std::vector<std::string>{"hook", "unhook"}));
    EXPECT_FALSE(tray->IconAdded());
    EXPECT_EQ(changes, std::vector<std::string>{"InTray"});
}

TEST_F(TrayTest, DesignModeOnlyRecordsInTray) {
    cSysTray design(shell, /*userMode=*/false);
    design.SetInTray(true);
    EXPECT_TRUE(design.InTray());
    EXPECT_FALSE(design.IconAdded());
    design.SetInTray(false);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(shell.hookTrace.empty());
}

TEST_F(TrayTest, TipAndIconChangesModifyAnIconInTheTray) {
    tray->SetTrayTip("before");
    EXPECT_TRUE(shell.calls.empty());
    PutInTray();

    tray->SetTrayTip("");
    tray->SetTrayIcon(TrayPicture{0x99, kPictureTypeIcon});
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0].record, Record(nif::kTip));  // empty tip removes the tooltip
    TrayIconRecord icon = Record(nif::kIcon);
    icon.icon = 0x99;
    EXPECT_EQ(shell.calls[1].record, icon);
    EXPECT_EQ(tray->TrayTip(), "");
    EXPECT_EQ(changes, (std::vector<std::string>{"TrayTip", "TrayIcon"}));
}

TEST_F(TrayTest, OnlyAnIconPictureIsTakenAsTrayIcon) {
    tray->SetTrayIcon(kIcon);
    PutInTray();
    tray->SetTrayIcon(std::nullopt);
    tray->SetTrayIcon(TrayPicture{0x55, 1});  // a bitmap
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(tray->TrayIcon(), kIcon);
}

// which text, its capacity
enum class Field { Tip, Info, Title };
class TextCut : public TrayTest, public ::testing::WithParamInterface<std::tuple<Field, int>> {
  protected:
    std::string Sent(const std::string& text) {
        auto [field, capacity] = GetParam();
        shell.calls.clear();
        switch (field) {
            case Field::Tip:
                tray->SetTrayTip(text);
                return shell.calls.at(0).record.tip;
            case Field::Info:
                tray->ShowBalloon(text, "t", 0, false);
                return shell.calls.at(0).record.info;
            case Field::Title:
                tray->ShowBalloon("x", text, 0, false);
                return shell.calls.at(0).record.infoTitle;
        }
        return {};
    }
};

TEST_P(TextCut, TextsAreCutToTheirFields) {
    const int capacity = std::get<1>(GetParam());
    PutInTray();
    const std::string fits(capacity, 'a');
    EXPECT_EQ(Sent(fits), fits);
    EXPECT_EQ(Sent(fits + "bc"), fits);
    // Counted in characters, never splitting one: "é" is two bytes in UTF-8.
    std::string accented;
    for (int i = 0; i < capacity + 3; ++i) {
        accented += "\xC3\xA9";
    }
    EXPECT_EQ(Sent(accented), accented.substr(0, 2 * capacity));
}

INSTANTIATE_TEST_SUITE_P(Tray, TextCut,
                         ::testing::Values(std::make_tuple(Field::Tip, 127),
                                           std::make_tuple(Field::Info, 255),
                                           std::make_tuple(Field::Title, 63)));

TEST_F(TrayTest, BalloonRecordAndFullWaitEndWithTheClearingModify) {
    PutInTray();
    tray->ShowBalloon("has been minimized", "Stenvault", 5, true);

    TrayIconRecord balloon = Record(nif::kInfo);
    balloon.info = "has been minimized";
    balloon.infoTitle = "Stenvault";
    balloon.timeout = 5000;
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[0].operation, nim::kModify);
    EXPECT_EQ(shell.calls[0].record, balloon);
    EXPECT_EQ(shell.calls[1].operation, nim::kModify);
    EXPECT_EQ(shell.calls[1].record, Record(nif::kInfo));
    EXPECT_EQ(shell.pumps, std::vector<std::int64_t>{5000});
    EXPECT_TRUE(tray->BalloonShowing());  // the clearing modify leaves it alone
    EXPECT_EQ(tray->OnceShownCount(), 1);
}

TEST_F(TrayTest, WaitKeepsPumpingUntilTheTimeIsUp) {
    PutInTray();
    shell.onPump = [this](std::int64_t) {
        shell.now += 700;
        return true;
    };
    tray->ShowBalloon("x", "t", 2, false);
    EXPECT_EQ(shell.pumps, (std::vector<std::int64_t>{2000, 1300, 600}));
    EXPECT_EQ(shell.calls.size(), 2u);
}

TEST_F(TrayTest, ShowOnceGatesLaterBalloonsOnly) {
    PutInTray();
    tray->ShowBalloon("a", "t", 0, true);
    tray->ShowBalloon("b", "t", 0, true);
    EXPECT_EQ(shell.calls.size(), 1u);
    tray->ShowBalloon("c", "t", 0, false);
    EXPECT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(tray->OnceShownCount(), 1);
}

TEST_F(TrayTest, ZeroOrNegativeTimerShowsAndReturnsAtOnce) {
    PutInTray();
    tray->ShowBalloon("a", "t", 0, false);
    tray->ShowBalloon("a", "t", -3, false);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].record.timeout, 0u);
    EXPECT_TRUE(shell.pumps.empty());
    EXPECT_TRUE(tray->BalloonShowing());
}

TEST_F(TrayTest, TimerAboveTheLimitOverflowsBeforeShowingAnything) {
    PutInTray();
    try {
        tray->ShowBalloon("a", "t", kMaxBalloonSeconds + 1, true);
        FAIL() << "no overflow";
    } catch (const Failure& f) {
        EXPECT_STREQ(f.what(), "Overflow");
    }
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(tray->OnceShownCount(), 0);
    EXPECT_FALSE(tray->BalloonShowing());

    shell.onPump = [](std::int64_t) { return false; };  // don't wait 24 days
    tray->ShowBalloon("a", "t", kMaxBalloonSeconds, false);
    EXPECT_EQ(shell.calls.at(0).record.timeout, 2147483000u);
}

class BalloonGone : public TrayTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(BalloonGone, NotificationEndsTheWaitWithoutClearing) {
    PutInTray();
    shell.onPump = [this](std::int64_t) {
        shell.now += 100;
        tray->RaiseTrayEvent(GetParam(), 0);
        return true;
    };
    tray->ShowBalloon("a", "t", 5, false);
    EXPECT_EQ(shell.pumps.size(), 1u);
    EXPECT_EQ(shell.calls.size(), 1u);
    EXPECT_FALSE(tray->BalloonShowing());
}

INSTANTIATE_TEST_SUITE_P(Tray, BalloonGone, ::testing::Values(0x403, 0x404, 0x405));

TEST_F(TrayTest, BalloonWithoutIconStillWaitsAndClears) {
    tray->ShowBalloon("a", "t", 1, false);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.pumps, std::vector<std::int64_t>{1000});
}

TEST_F(TrayTest, QuittingEndsTheWaitAndClears) {
    PutInTray();
    shell.onPump = [](std::int64_t) { return false; };
    tray->ShowBalloon("a", "t", 5, false);
    EXPECT_EQ(shell.pumps.size(), 1u);
    EXPECT_EQ(shell.calls.size(), 2u);
}

TEST_F(TrayTest, DestroyedDuringTheWaitStopsTouchingTheInstance) {
    PutInTray();
    shell.onPump = [this](std::int64_t) {
        tray.reset();
        shell.now += 10;
        return true;
    };
    tray->ShowBalloon("a", "t", 5, false);  // the raw pointer stays valid for the call
    // The balloon, then the destroy hook's delete; nothing after it.
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].operation, nim::kDelete);
}

// callback code -> which event, button (0 for MouseMove)
enum class Ev { Move, Down, Up, Dbl };
class MouseEvents : public TrayTest,
                    public ::testing::WithParamInterface<std::tuple<std::int32_t, Ev, int>> {};

TEST_P(MouseEvents, CallbackCodeRaisesItsEvent) {
    auto [code, expectedEvent, expectedButton] = GetParam();
    std::vector<std::tuple<Ev, int, std::int32_t>> raised;
    auto& ev = tray->Events();
    ev.MouseMove = [&](std::int32_t id) { raised.emplace_back(Ev::Move, 0, id); };
    ev.MouseDown = [&](std::int16_t b, std::int32_t id) { raised.emplace_back(Ev::Down, b, id); };
    ev.MouseUp = [&](std::int16_t b, std::int32_t id) { raised.emplace_back(Ev::Up, b, id); };
    ev.MouseDblClick = [&](std::int16_t b, std::int32_t id) {
        raised.emplace_back(Ev::Dbl, b, id);
    };
    tray->RaiseTrayEvent(code, 0);
    EXPECT_EQ(raised,
              (std::vector<std::tuple<Ev, int, std::int32_t>>{{expectedEvent, expectedButton, 0}}));
}

INSTANTIATE_TEST_SUITE_P(
    Tray, MouseEvents,
    ::testing::Values(std::make_tuple(0x200, Ev::Move, 0), std::make_tuple(0x201, Ev::Down, 1),
                      std::make_tuple(0x202, Ev::Up, 1), std::make_tuple(0x203, Ev::Dbl, 1),
                      std::make_tuple(0x204, Ev::Down, 2), std::make_tuple(0x205, Ev::Up, 2),
                      std::make_tuple(0x206, Ev::Dbl, 2)));

class SilentCodes : public TrayTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(SilentCodes, RaiseNoEventAndChangeNothing) {
    PutInTray();
    tray->ShowBalloon("a", "t", 0, false);
    int raised = 0;
    auto& ev = tray->Events();
    ev.MouseMove = [&](std::int32_t) { ++raised; };
    ev.MouseDown = ev.MouseUp = ev.MouseDblClick = [&](std::int16_t, std::int32_t) { ++raised; };
    tray->RaiseTrayEvent(GetParam(), 0);
    EXPECT_EQ(raised, 0);
    EXPECT_TRUE(tray->BalloonShowing());
}

// balloon shown, middle button down/up/double-click, the XBUTTON range and beyond
INSTANTIATE_TEST_SUITE_P(Tray, SilentCodes,
                         ::testing::Values(0x402, 0x207, 0x208, 0x209, 0x1FF, 0x20B, 0x400));

// With every handler set but the one its code raises, a code calls nothing and does not fail.
TEST_P(MouseEvents, UnsetHandlerIsSkippedAndNoOtherRuns) {
    auto [code, unset, button] = GetParam();
    int raised = 0;
    auto& ev = tray->Events();
    if (unset != Ev::Move) {
        ev.MouseMove = [&](std::int32_t) { ++raised; };
    }
    auto count = [&](std::int16_t, std::int32_t) { ++raised; };
    if (unset != Ev::Down) {
        ev.MouseDown = count;
    }
    if (unset != Ev::Up) {
        ev.MouseUp = count;
    }
    if (unset != Ev::Dbl) {
        ev.MouseDblClick = count;
    }
    EXPECT_NO_THROW(tray->RaiseTrayEvent(code, 0));
    EXPECT_EQ(raised, 0);
}

TEST_F(TrayTest, DestroyRemovesIconAndHookWithoutNotice) {
    PutInTray();
    tray.reset();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kDelete);
    EXPECT_EQ(shell.hookTrace, (std::vector<std::string>{"hook", "unhook"}));
    EXPECT_TRUE(changes.empty());
}

TEST_F(TrayTest, DestroyOutsideTheTrayCallsNothing) {
    tray.reset();
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(shell.hookTrace.empty());
}

TEST_F(TrayTest, ShellRestartPutsAnAddedIconBack) {
    tray->ShellRestarted();
    EXPECT_TRUE(shell.calls.empty());
    tray->SetTrayTip("Stenvault");
    PutInTray();
    tray->ShellRestarted();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
    EXPECT_EQ(shell.calls[0].record.tip, "Stenvault");
}

// The taskbar refuses the first adds; the component tries again every 2 s for 2 minutes.
struct RetryCase {
    int refused;
    bool added;        // the icon is there in the end
    int addsExpected;  // the first add and its retries
};
void PrintTo(const RetryCase& c, std::ostream* os) {
    *os << c.refused << " refused";
}

class AddRetry : public TrayTest, public ::testing::WithParamInterface<RetryCase> {
  protected:
    // Lets the retry timer fire until it is stopped (or far beyond the limit).
    int RunTimer() {
        int ticks = 0;
        while (shell.timerRunning && ticks < 200) {
            shell.now += kAddRetryPeriodMs;
            tray->RetryAdd();
            ++ticks;
        }
        return ticks;
    }
    int Adds() const {
        int n = 0;
        for (const Call& c : shell.calls) {
            n += c.operation == nim::kAdd ? 1 : 0;
        }
        return n;
    }
};

TEST_P(AddRetry, RefusedAddIsTriedAgainEveryTwoSecondsForTwoMinutes) {
    const RetryCase c = GetParam();
    shell.refuseAdds = c.refused;
    shell.modifyFindsIcon = false;
    tray->SetTrayIcon(kIcon);
    tray->SetTrayTip("Stenvault");
    tray->SetInTray(true);
    EXPECT_TRUE(tray->IconAdded());
    EXPECT_TRUE(tray->AddPending());
    EXPECT_EQ(shell.timerStarts, std::vector<std::int64_t>{2000});

    RunTimer();
    EXPECT_FALSE(shell.timerRunning);
    EXPECT_FALSE(tray->AddPending());
    EXPECT_EQ(Adds(), c.addsExpected);
    // A refused add is followed by a modify that looks for the icon.
    EXPECT_EQ(shell.calls.back().operation, c.added ? nim::kAdd : nim::kModify);
    // Every try is the full add: callback, picture and tip.
    const Call& last = shell.calls[shell.calls.size() - (c.added ? 1 : 2)];
    EXPECT_EQ(last.operation, nim::kAdd);
    EXPECT_EQ(last.record.uFlags, nif::kMessage | nif::kIcon | nif::kTip);
    EXPECT_EQ(last.record.uCallbackMessage, kTrayCallbackMessage);
    EXPECT_EQ(last.record.icon, kIcon.handle);
    EXPECT_EQ(last.record.tip, "Stenvault");
}

// Tries at 0, 2, ..., 120 s: the 61st add is the last one.
INSTANTIATE_TEST_SUITE_P(Tray, AddRetry,
                         ::testing::Values(RetryCase{1, true, 2}, RetryCase{3, true, 4},
                                           RetryCase{60, true, 61}, RetryCase{61, false, 61},
                                           RetryCase{1000, false, 61}));

// Started hidden at logon: the balloon that says where the program went is shown once the icon
// is there to carry it.
TEST_F(AddRetry, BalloonAskedForBeforeTheIconArrivesComesWithIt) {
    shell.refuseAdds = 2;
    shell.modifyFindsIcon = false;
    tray->SetTrayIcon(kIcon);
    tray->SetInTray(true);
    tray->ShowBalloon("Still running here", "Stenvault", 0, false);
    EXPECT_EQ(shell.calls.back().operation, nim::kModify);

    RunTimer();
    EXPECT_EQ(Adds(), 3);
    ASSERT_GE(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[shell.calls.size() - 2].operation, nim::kAdd);
    const Call& balloon = shell.calls.back();
    EXPECT_EQ(balloon.operation, nim::kModify);
    EXPECT_EQ(balloon.record.uFlags, nif::kInfo);
    EXPECT_EQ(balloon.record.info, "Still running here");
    EXPECT_EQ(balloon.record.infoTitle, "Stenvault");

    // Shown once: a later restart of the taskbar adds the icon without it.
    shell.calls.clear();
    tray->ShellRestarted();
    for (const Call& c : shell.calls) {
        EXPECT_EQ(c.record.uFlags & nif::kInfo, 0u);
    }
}

TEST_F(AddRetry, TaskbarThatComesAfterTheRetriesGetsTheIcon) {
    shell.refuseAdds = 1000;
    shell.modifyFindsIcon = false;
    tray->SetInTray(true);
    RunTimer();
    ASSERT_FALSE(shell.timerRunning);
    shell.calls.clear();
    tray->RetryAdd();  // a late tick does nothing
    EXPECT_TRUE(shell.calls.empty());

    shell.refuseAdds = 0;
    tray->ShellRestarted();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].operation, nim::kAdd);
    EXPECT_FALSE(tray->AddPending());
}

TEST_F(AddRetry, TaskbarRefusingAfterARestartStartsANewRoundOfTries) {
    shell.refuseAdds = 1000;
    shell.modifyFindsIcon = false;
    tray->SetInTray(true);
    for (int i = 0; i < 50; ++i) {
        shell.now += kAddRetryPeriodMs;
        tray->RetryAdd();
    }
    ASSERT_TRUE(tray->AddPending());
    tray->ShellRestarted();
    EXPECT_TRUE(tray->AddPending());
    EXPECT_EQ(RunTimer(), 60);  // measured from the restart, not from the first add
}

TEST_F(AddRetry, AddThatTimedOutButRegisteredTheIconIsNotRepeated) {
    shell.refuseAdds = 1;
    shell.modifyFindsIcon = true;
    tray->SetInTray(true);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].operation, nim::kModify);
    EXPECT_EQ(shell.calls[1].record, shell.calls[0].record);
    EXPECT_FALSE(tray->AddPending());
    EXPECT_TRUE(shell.timerStarts.empty());
}

TEST_F(AddRetry, LeavingTheTrayOrDestroyingStopsTheTries) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroy" : "InTray false");
        tray = std::make_unique<cSysTray>(shell);
        shell.refuseAdds = 1000;
        shell.modifyFindsIcon = false;
        tray->SetInTray(true);
        ASSERT_TRUE(shell.timerRunning);
        if (destroy) {
            tray.reset();
        } else {
            tray->SetInTray(false);
            EXPECT_FALSE(tray->AddPending());
        }
        EXPECT_FALSE(shell.timerRunning);
    }
}

TEST_F(TrayTest, NewInstanceDefaults) {
    tray->InitNew();
    EXPECT_FALSE(tray->InTray());
    EXPECT_EQ(tray->TrayTip(), "Telnet Server");
    EXPECT_FALSE(tray->TrayIcon());
    EXPECT_EQ(changes, std::vector<std::string>{"TrayTip"});
}

TEST_F(TrayTest, LoadMatchesKeysWithoutCaseAndFillsDefaults) {
    TrayLayout stored;
    stored.Write("_extentx", std::string("900"));
    stored.Write("intray", true);
    stored.Write("trayicon", std::optional<TrayPicture>(kIcon));
    tray->Load(stored);
    EXPECT_TRUE(tray->InTray());
    EXPECT_EQ(tray->TrayIcon(), kIcon);
    EXPECT_EQ(tray->TrayTip(), "Telnet Server");
    // Added with the tip it had then, the other two modify it, in load order.
    ASSERT_EQ(shell.calls.size(), 3u);
    EXPECT_EQ(shell.calls[0].record.uFlags, nif::kMessage);
    EXPECT_EQ(shell.calls[1].record.uFlags, nif::kIcon);
    EXPECT_EQ(shell.calls[2].record.tip, "Telnet Server");

    TrayLayout empty;
    cSysTray other(shell);
    other.Load(empty);
    EXPECT_FALSE(other.InTray());
    EXPECT_FALSE(other.TrayIcon());
    EXPECT_EQ(other.TrayTip(), "Telnet Server");
}

TEST_F(TrayTest, SaveWritesAllThreeInOrderOverExistingKeys) {
    TrayLayout layout;
    layout.Write("traytip", std::string("old"));
    tray->SetTrayTip("Stenvault");
    tray->Save(layout);
    const auto& e = layout.Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].first, "traytip");
    EXPECT_EQ(std::get<std::string>(e[0].second), "Stenvault");
    EXPECT_EQ(e[1].first, "InTray");
    EXPECT_FALSE(std::get<bool>(e[1].second));
    EXPECT_EQ(e[2].first, "TrayIcon");
    EXPECT_FALSE(std::get<std::optional<TrayPicture>>(e[2].second));
}

}  // namespace
}  // namespace sv
