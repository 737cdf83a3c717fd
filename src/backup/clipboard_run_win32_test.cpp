// Windows headers first: their A/W macros then rename members the same way everywhere here.
#include "backup/clipboard_win32.h"
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include "backup/save_all.h"
#include "backup/testing/choices.h"
#include "backup/testing/clipboard_win32.h"
#include "backup/testing/fakes.h"
#include "backup/testing/reports.h"
#include "backup/testing/standin_win32.h"

namespace sv::backup {
namespace {

using testing::Block;
using testing::DrawingsOnDisk;
using testing::EndStrayStandins;
using testing::FakeChoices;
using testing::FakeClock;
using testing::PatternBlock;
using testing::PutBlocks;
using testing::ReadBlock;
using testing::ReadText;
using testing::RecordingDialogs;
using testing::Reports;
using testing::ScratchFolder;
using testing::TestWindow;
using testing::UnicodeBlock;
using testing::UserInstance;
using Labels = std::vector<std::string>;
using Texts = std::vector<std::string>;
using Blocks = std::vector<std::pair<UINT, Block>>;

constexpr char kLog[] = "C:\\Temp\\Stenvault.txt";

std::vector<std::string> ShapeTexts(AutomationObject& page) {
    std::vector<std::string> texts;
    Object shapes = page.GetObj("Shapes");
    for (int i = 1, n = shapes->Get("Count").Integer(); i <= n; ++i) {
        texts.push_back(shapes->GetObj("Item", {i})->GetText("Text"));
    }
    return texts;
}

// Backup runs against the stand-in holding the real clipboard keeper.
class ClipboardRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EndStrayStandins();
        clock.times = {{2021, 12, 7, 13, 5, 9}};
        choices.folder = folder.path();
        user = std::make_unique<UserInstance>();
        ASSERT_TRUE(user->ready());
        userApp = link.AttachToVisio();
        ASSERT_NE(userApp, nullptr);
        userApp->GetObj("Documents")->Call("Add", {std::string()});
        Object pages = userApp->GetObj("ActiveDocument")->GetObj("Pages");
        pages->Call("Add");
        for (int i = 1; i <= 2; ++i) {
            Object page = pages->GetObj("Item", {i});
            page->Call("DrawRectangle", {1.0, 1.0, 2.0, 2.0})
                .TakeObject()
                ->Put("Text", "page " + std::to_string(i));
        }
    }

    void TearDown() override {
        userApp.reset();
        user.reset();
        EndStrayStandins();
    }

    Object UserPage(int index) {
        return userApp->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {index});
    }

    // What the user does in their drawing: show a page, select everything, copy.
    void UserCopiesPage(int index) {
        Object window = userApp->GetObj("ActiveWindow");
        window->Put("Page", UserPage(index)->GetText("Name"));
        window->Call("SelectAll");
        window->Call("Copy");
        window->Call("DeselectAll");
    }

    static Blocks UserContent() {
        return {{CF_UNICODETEXT, UnicodeBlock(L"the user's text \x00e4")},
                {::RegisterClipboardFormatW(L"Stenvault test private"), PatternBlock(4099, 11)},
                {CF_DIB, PatternBlock(sizeof(BITMAPINFOHEADER), 0)}};
    }

    void ExpectOnClipboard(const Blocks& blocks) {
        for (const auto& [format, data] : blocks) {
            std::optional<Block> now = ReadBlock(format);
            ASSERT_TRUE(now) << "format " << format << " is missing";
            ASSERT_GE(now->size(), data.size());
            EXPECT_TRUE(std::equal(data.begin(), data.end(), now->begin())) << "format " << format;
        }
    }

    sv::win32::ComApartment apartment;
    win32::DispatchLink link;
    ScratchFolder folder{"clipboard runs"};
    RecordingDialogs dialogs;
    FakeChoices choices;
    FakeClock clock;
    testing::EnglishLocale locale;
    DrawingsOnDisk files;
    win32::Win32ClipboardKeeper keeper;
    BackupEngine engine{link, dialogs, choices, clock, locale, files, keeper, kLog, ".vsd"};
    std::unique_ptr<UserInstance> user;
    Object userApp;
    TestWindow owner;
};

TEST_F(ClipboardRunTest, ARunPutsBackWhatTheClipboardHeld) {
    const Blocks before = UserContent();
    ASSERT_TRUE(PutBlocks(owner.get(), before));
    engine.SaveAll();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_NE(files.files[kLog], "") << "no backup was made";
    ExpectOnClipboard(before);
}

TEST_F(ClipboardRunTest, ARunFailingToSaveStillPutsItBack) {
    const Blocks before = UserContent();
    ASSERT_TRUE(PutBlocks(owner.get(), before));
    choices.folder = folder.path() + "\\not there";
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    ExpectOnClipboard(before);
}

TEST_F(ClipboardRunTest, ShapesTheUserCopiedBeforeARunAreTheOnesPastedAfterIt) {
    UserCopiesPage(1);
    engine.SaveAll();
    ASSERT_TRUE(dialogs.messages.empty());

    // The user pastes on a page of their own after the run.
    Object page = userApp->GetObj("ActiveDocument")->GetObj("Pages")->Call("Add").TakeObject();
    page->Call("Paste");
    EXPECT_EQ(ShapeTexts(*page), Texts{"page 1"});
}

// The user copies something else while a report of the run waits for them.
TEST_F(ClipboardRunTest, WhatTheUserCopiesWhileTheRunWaitsOnAReportIsKept) {
    ASSERT_TRUE(PutBlocks(owner.get(), UserContent()));
    testing::PlantedFaults faults(L"Embedding");
    faults.Set("SaveAs", "The disk is full.");
    dialogs.onDialog = [&] { ASSERT_TRUE(testing::PutText(owner.get(), L"copied meanwhile")); };
    engine.SaveAll();
    EXPECT_EQ(Reports(dialogs), Labels{"SaveAll:162"});
    EXPECT_EQ(ReadText(), std::wstring(L"copied meanwhile"));
}

}  // namespace
}  // namespace sv::backup
