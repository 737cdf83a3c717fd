#include "backup/clipboard_snapshot.h"

#include <gtest/gtest.h>

#include <new>
#include <ostream>

#include "backup/testing/fake_clipboard.h"

namespace sv::backup {
namespace {

using testing::FakeClipboard;
using testing::FakeItem;
using testing::MemoryItem;
using testing::ObjectItem;
using Items = std::vector<FakeItem>;

const ClipboardFormat kPrivate = 0xC123;  // a registered format
const Items kShapes = {MemoryItem(0xC200, "<shapes/>"), MemoryItem(clip::kUnicodeText, "box")};

class ClipboardKeeperTest : public ::testing::Test {
  protected:
    // A backup run as the keeper sees it: taken, the page copies, restored.
    void Run(int copies = 1) {
        keeper.Take();
        for (int i = 0; i < copies; ++i) {
            clipboard.WriteAll(kShapes);
            keeper.NoteOwnChange();
        }
        keeper.Restore();
    }

    FakeClipboard clipboard;
    ClipboardSnapshotKeeper keeper{clipboard, 1000};
};

TEST_F(ClipboardKeeperTest, EveryFormatComesBackInItsOrderAndTheClipboardIsClosed) {
    const Items user = {MemoryItem(clip::kUnicodeText, std::string("h\0i", 3)),
                        MemoryItem(kPrivate, std::string("\x00\xff\x01", 3)),
                        ObjectItem(clip::kBitmap, "photo", 300),
                        MemoryItem(clip::kLocale, "\x09\x04"),
                        ObjectItem(clip::kPalette, "colours", 16),
                        MemoryItem(clip::kHdrop, "C:\\a.txt")};
    clipboard.items = user;
    Run(3);
    EXPECT_EQ(clipboard.items, user);
    EXPECT_EQ(clipboard.objectsCopied, 2);
    EXPECT_FALSE(clipboard.IsOpen());
}

TEST_F(ClipboardKeeperTest, EmptyBeforeTheRunIsEmptyAfterIt) {
    Run();
    EXPECT_TRUE(clipboard.items.empty());
}

TEST_F(ClipboardKeeperTest, SomeoneElsesCopyDuringTheRunIsKept) {
    clipboard.items = {MemoryItem(clip::kUnicodeText, "before")};
    const Items theirs = {MemoryItem(clip::kUnicodeText, "theirs")};
    keeper.Take();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    clipboard.WriteAll(theirs);
    keeper.Restore();
    EXPECT_EQ(clipboard.items, theirs);
}

TEST_F(ClipboardKeeperTest, SomeoneWritingWhileTheClipboardIsBusyAtRestoreIsKept) {
    clipboard.items = {MemoryItem(clip::kUnicodeText, "before")};
    const Items theirs = {MemoryItem(clip::kUnicodeText, "theirs")};
    keeper.Take();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    clipboard.busyAttempts = 2;
    clipboard.onPause = [&] { clipboard.WriteAll(theirs); };
    keeper.Restore();
    EXPECT_EQ(clipboard.items, theirs);
}

// The user copies while the run waits on them (the folder prompt, a report) before a page is
// copied: their newer content is what comes back, not what the run found at its start.
TEST_F(ClipboardKeeperTest, ACopyMadeBeforeTheRunsOwnCopyIsWhatComesBack) {
    clipboard.items = {MemoryItem(clip::kUnicodeText, "before")};
    const Items newer = {MemoryItem(clip::kUnicodeText, "newer"), MemoryItem(kPrivate, "x")};
    keeper.Take();
    clipboard.WriteAll(newer);
    keeper.BeforeOwnCopy();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    keeper.Restore();
    EXPECT_EQ(clipboard.items, newer);
}

TEST_F(ClipboardKeeperTest, APasteIsRefusedOnlyWhenSomeoneWroteAfterTheRunsCopy) {
    clipboard.items = {MemoryItem(clip::kUnicodeText, "before")};
    keeper.Take();
    keeper.BeforeOwnCopy();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    EXPECT_TRUE(keeper.HoldsOwnCopy());
    clipboard.WriteAll({MemoryItem(clip::kUnicodeText, "theirs")});
    EXPECT_FALSE(keeper.HoldsOwnCopy());
}

// Without a snapshot the guard still knows whose content the clipboard holds.
struct NoSnapshotCase {
    const char* name;
    Items before;
    bool busy;
};
void PrintTo(const NoSnapshotCase& c, std::ostream* os) {
    *os << c.name;
}

class PasteGuardWithoutSnapshot : public ClipboardKeeperTest,
                                  public ::testing::WithParamInterface<NoSnapshotCase> {};

TEST_P(PasteGuardWithoutSnapshot, RefusesWhatSomeoneElseCopied) {
    clipboard.items = GetParam().before;
    clipboard.busyForever = GetParam().busy;
    keeper.Take();
    clipboard.busyForever = false;
    keeper.BeforeOwnCopy();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    EXPECT_TRUE(keeper.HoldsOwnCopy());
    clipboard.WriteAll({MemoryItem(clip::kUnicodeText, "theirs")});
    EXPECT_FALSE(keeper.HoldsOwnCopy());
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, PasteGuardWithoutSnapshot,
    ::testing::Values(
        NoSnapshotCase{"HeldByAnotherProgram", {MemoryItem(clip::kUnicodeText, "before")}, true},
        NoSnapshotCase{"OverTheLimit", {MemoryItem(kPrivate, std::string(1001, 'a'))}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The user copies something too large to keep before a page copy: the older snapshot still
// comes back rather than the run's shapes.
TEST_F(ClipboardKeeperTest, AFailedRetakeKeepsTheOlderSnapshot) {
    const Items before = {MemoryItem(clip::kUnicodeText, "before")};
    clipboard.items = before;
    keeper.Take();
    clipboard.WriteAll({MemoryItem(kPrivate, std::string(1001, 'a'))});
    keeper.BeforeOwnCopy();
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    keeper.Restore();
    EXPECT_EQ(clipboard.items, before);
}

// A run that ends before its first copy leaves the clipboard to its owner.
TEST_F(ClipboardKeeperTest, ARunThatNeverCopiedDoesNotTouchTheClipboard) {
    clipboard.items = {MemoryItem(clip::kUnicodeText, "before")};
    const std::uint32_t sequence = clipboard.sequence;
    keeper.Take();
    keeper.Restore();
    EXPECT_EQ(clipboard.sequence, sequence);
}

TEST_F(ClipboardKeeperTest, OutOfMemoryWhileTakingNeitherThrowsNorRestores) {
    struct Failing : FakeClipboard {
        std::optional<std::vector<std::byte>> ReadBytes(ClipboardFormat) override {
            throw std::bad_alloc();
        }
    } failing;
    failing.items = {MemoryItem(clip::kUnicodeText, "before")};
    ClipboardSnapshotKeeper k(failing);
    EXPECT_NO_THROW(k.Take());
    failing.WriteAll(kShapes);
    k.NoteOwnChange();
    EXPECT_NO_THROW(k.Restore());
    EXPECT_EQ(failing.items, kShapes);
    EXPECT_FALSE(failing.IsOpen());
}

// Formats left out of the snapshot: what the owner draws itself, handles of unknown kinds,
// data that cannot be had, and what the system makes again from a format already taken.
struct LeftOutCase {
    const char* name;
    Items before;
    std::set<ClipboardFormat> unreadable;
    Items after;
};
void PrintTo(const LeftOutCase& c, std::ostream* os) {
    *os << c.name;
}

class LeftOutFormats : public ClipboardKeeperTest,
                       public ::testing::WithParamInterface<LeftOutCase> {};

TEST_P(LeftOutFormats, AreNotPutBack) {
    clipboard.items = GetParam().before;
    clipboard.unreadable = GetParam().unreadable;
    Run();
    EXPECT_EQ(clipboard.items, GetParam().after);
}

const FakeItem kText = MemoryItem(clip::kUnicodeText, "keep");
const FakeItem kLocale = MemoryItem(clip::kLocale, "\x09\x04");

INSTANTIATE_TEST_SUITE_P(
    Snapshot, LeftOutFormats,
    ::testing::Values(
        LeftOutCase{"OwnerDisplay", {MemoryItem(clip::kOwnerDisplay, ""), kText}, {}, {kText}},
        LeftOutCase{
            "PrivateHandle", {MemoryItem(clip::kPrivateFirst + 5, "h"), kText}, {}, {kText}},
        LeftOutCase{
            "PrivateGdiObject", {ObjectItem(clip::kGdiObjLast, "pen", 8), kText}, {}, {kText}},
        LeftOutCase{"UnrenderableMemory", {MemoryItem(kPrivate, "x"), kText}, {kPrivate}, {kText}},
        LeftOutCase{"UnrenderableBitmap",
                    {ObjectItem(clip::kBitmap, "b", 4), kText},
                    {clip::kBitmap},
                    {kText}},
        // As the system lists what it made: after all that was placed, the locale first.
        LeftOutCase{
            "TextMadeFromUnicode",
            {kText, kLocale, MemoryItem(clip::kText, "keep"), MemoryItem(clip::kOemText, "keep")},
            {},
            {kText, kLocale}},
        LeftOutCase{"UnicodeMadeFromText",
                    {MemoryItem(clip::kText, "a"), kLocale, MemoryItem(clip::kOemText, "a"),
                     MemoryItem(clip::kUnicodeText, "a\0")},
                    {},
                    {MemoryItem(clip::kText, "a"), kLocale}},
        LeftOutCase{"DibsMadeFromBitmap",
                    {ObjectItem(clip::kBitmap, "b", 4), MemoryItem(clip::kDib, "d"),
                     MemoryItem(clip::kDibV5, "d5")},
                    {},
                    {ObjectItem(clip::kBitmap, "b", 4)}},
        LeftOutCase{"BitmapMadeFromDib",
                    {MemoryItem(clip::kDib, "d"), ObjectItem(clip::kBitmap, "b", 4),
                     MemoryItem(clip::kDibV5, "d5")},
                    {},
                    {MemoryItem(clip::kDib, "d")}},
        LeftOutCase{
            "PictureMadeFromEnhanced",
            {ObjectItem(clip::kEnhMetafile, "e", 4), ObjectItem(clip::kMetafilePict, "m", 4)},
            {},
            {ObjectItem(clip::kEnhMetafile, "e", 4)}},
        LeftOutCase{"TwoGroupsMadeInterleaved",
                    {MemoryItem(clip::kDib, "d"), kText, kLocale, ObjectItem(clip::kBitmap, "b", 4),
                     MemoryItem(clip::kText, "keep"), MemoryItem(clip::kOemText, "keep"),
                     MemoryItem(clip::kDibV5, "d5")},
                    {},
                    {MemoryItem(clip::kDib, "d"), kText, kLocale}},
        // The first of a group that cannot be had does not hide the next.
        LeftOutCase{"NextOfAGroupWhenTheFirstIsUnreadable",
                    {MemoryItem(clip::kDib, "d"), ObjectItem(clip::kBitmap, "b", 4),
                     MemoryItem(clip::kDibV5, "d5")},
                    {clip::kDib},
                    {ObjectItem(clip::kBitmap, "b", 4)}}),
    [](const auto& info) { return std::string(info.param.name); });

// What the owner placed comes back whole, however related: its own ANSI text beside its
// Unicode text, a bitmap with alpha beside the one without.
class PlacedFormats : public ClipboardKeeperTest,
                      public ::testing::WithParamInterface<LeftOutCase> {};

TEST_P(PlacedFormats, AllComeBack) {
    clipboard.items = GetParam().before;
    Run();
    EXPECT_EQ(clipboard.items, GetParam().after);
}

const FakeItem kAnsi = MemoryItem(clip::kText, "Plan A?");
const FakeItem kWide = MemoryItem(clip::kUnicodeText, "Plan A\xac\x20");

INSTANTIATE_TEST_SUITE_P(
    Snapshot, PlacedFormats,
    ::testing::Values(LeftOutCase{"UnicodeThenText",
                                  {kWide, kAnsi, kLocale, MemoryItem(clip::kOemText, "Plan A?")},
                                  {},
                                  {kWide, kAnsi, kLocale}},
                      LeftOutCase{"TextThenUnicode",
                                  {kAnsi, kWide, kLocale, MemoryItem(clip::kOemText, "Plan A?")},
                                  {},
                                  {kAnsi, kWide, kLocale}},
                      LeftOutCase{"AllThreeTexts",
                                  {kWide, kAnsi, MemoryItem(clip::kOemText, "Plan A?"), kLocale},
                                  {},
                                  {kWide, kAnsi, MemoryItem(clip::kOemText, "Plan A?"), kLocale}},
                      LeftOutCase{"DibThenDibV5",
                                  {MemoryItem(clip::kDib, "d"), MemoryItem(clip::kDibV5, "alpha"),
                                   ObjectItem(clip::kBitmap, "b", 4)},
                                  {},
                                  {MemoryItem(clip::kDib, "d"), MemoryItem(clip::kDibV5, "alpha")}},
                      LeftOutCase{"TextBeforeAPrivateFormat",
                                  {kWide, kAnsi, MemoryItem(kPrivate, "x"), kLocale,
                                   MemoryItem(clip::kOemText, "Plan A?")},
                                  {},
                                  {kWide, kAnsi, MemoryItem(kPrivate, "x"), kLocale}},
                      LeftOutCase{"NotAsTheSystemListsThem", {kWide, kAnsi}, {}, {kWide, kAnsi}}),
    [](const auto& info) { return std::string(info.param.name); });

// Over the limit nothing is taken and nothing is put back; at the limit all is.
struct LimitCase {
    const char* name;
    Items before;
    bool restored;
    std::size_t mostRead;  // a block known to be too large is not read at all
    int mostCopied;        // nor an object copied
};
void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class SnapshotLimit : public ClipboardKeeperTest,
                      public ::testing::WithParamInterface<LimitCase> {};

TEST_P(SnapshotLimit, DecidesWhetherTheClipboardComesBack) {
    clipboard.items = GetParam().before;
    Run();
    EXPECT_EQ(clipboard.items, GetParam().restored ? GetParam().before : kShapes);
    EXPECT_LE(clipboard.bytesRead, GetParam().mostRead);
    EXPECT_LE(clipboard.objectsCopied, GetParam().mostCopied);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, SnapshotLimit,
    ::testing::Values(
        LimitCase{"AtTheLimit", {MemoryItem(kPrivate, std::string(1000, 'a'))}, true, 1000, 0},
        LimitCase{"OneBlockOver", {MemoryItem(kPrivate, std::string(1001, 'a'))}, false, 0, 0},
        LimitCase{"OneObjectOver", {ObjectItem(clip::kBitmap, "b", 1001)}, false, 0, 0},
        LimitCase{"BlocksTogetherOver",
                  {MemoryItem(kPrivate, std::string(600, 'a')),
                   MemoryItem(kPrivate + 1, std::string(401, 'b'))},
                  false,
                  600,
                  0},
        LimitCase{
            "ObjectsCount",
            {MemoryItem(kPrivate, std::string(600, 'a')), ObjectItem(clip::kBitmap, "b", 401)},
            false,
            600,
            0},
        LimitCase{
            "ObjectAndBlockWithin",
            {ObjectItem(clip::kBitmap, "b", 400), MemoryItem(kPrivate, std::string(600, 'a'))},
            true,
            600,
            1}),
    [](const auto& info) { return std::string(info.param.name); });

// Another program holding the clipboard open: waited for about a second in all, with the
// thread's messages running; after that the clipboard is left as it is.
struct BusyCase {
    const char* name;
    bool busyAtTake;
    int busyAttempts;  // -1: for ever
    bool restored;
};
void PrintTo(const BusyCase& c, std::ostream* os) {
    *os << c.name;
}

class BusyClipboard : public ClipboardKeeperTest, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(BusyClipboard, IsWaitedForBrieflyThenLeftAlone) {
    const Items user = {MemoryItem(clip::kUnicodeText, "before")};
    clipboard.items = user;
    auto makeBusy = [&] {
        clipboard.busyForever = GetParam().busyAttempts < 0;
        clipboard.busyAttempts = GetParam().busyAttempts;
    };
    if (GetParam().busyAtTake) {
        makeBusy();
    }
    keeper.Take();
    clipboard.busyForever = false;
    clipboard.busyAttempts = 0;
    clipboard.WriteAll(kShapes);
    keeper.NoteOwnChange();
    if (!GetParam().busyAtTake) {
        makeBusy();
    }
    EXPECT_NO_THROW(keeper.Restore());
    EXPECT_EQ(clipboard.items, GetParam().restored ? user : kShapes);
    EXPECT_LE(clipboard.pausedMs, kClipboardBusyWaitMs);
    if (GetParam().busyAttempts != 0) {
        EXPECT_GT(clipboard.pausedMs, 0) << "no pause between attempts";
    }
    if (GetParam().busyAttempts < 0) {
        EXPECT_GE(clipboard.pausedMs, kClipboardBusyWaitMs - kClipboardRetryPauseMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Snapshot, BusyClipboard,
                         ::testing::Values(BusyCase{"FreeAtOnce", true, 0, true},
                                           BusyCase{"BriefAtTake", true, 5, true},
                                           BusyCase{"AlwaysAtTake", true, -1, false},
                                           BusyCase{"BriefAtRestore", false, 5, true},
                                           BusyCase{"AlwaysAtRestore", false, -1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::backup
