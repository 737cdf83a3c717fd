#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include "backup/testing/fakes.h"
#include "backup/testing/standin_win32.h"
#include "common/failure.h"

namespace sv::backup::win32 {
namespace {

using testing::EndStrayStandins;
using testing::PlantedFaults;
using testing::QuitQuietly;
using testing::RecordingDialogs;
using testing::UserInstance;
using testing::WaitForStandinCount;

class DispatchClientTest : public ::testing::Test {
  protected:
    void SetUp() override { EndStrayStandins(); }
    void TearDown() override { EndStrayStandins(); }

    sv::win32::ComApartment apartment;
    DispatchLink link;
};

TEST_F(DispatchClientTest, AttachWithNothingRunningGivesNothingQuickly) {
    DWORD start = ::GetTickCount();
    EXPECT_EQ(link.AttachToVisio(), nullptr);
    EXPECT_LT(::GetTickCount() - start, 2000u);
}

TEST_F(DispatchClientTest, UnknownProgIdCannotStart) {
    DispatchLink missing(L"Nothing.Registered.Here");
    EXPECT_EQ(missing.AttachToVisio(), nullptr);
    EXPECT_THROW(missing.StartVisio(), Failure);
    RecordingDialogs dialogs;
    EXPECT_FALSE(backup::CheckVisioInstalled(missing, dialogs, "Stenvault"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Stenvault");
}

TEST_F(DispatchClientTest, InstalledCheckLeavesNoInstanceBehind) {
    RecordingDialogs dialogs;
    EXPECT_TRUE(CheckVisioInstalled(dialogs, "Stenvault"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(WaitForStandinCount(0), 0);
}

TEST_F(DispatchClientTest, MembersAreLookedUpOncePerKindAndValuesRoundTrip) {
    Object app = link.StartVisio();
    app->GetObj("Documents")->Call("Add", {std::string()});
    Object document = app->GetObj("ActiveDocument");
    Object pages = document->GetObj("Pages");
    pages->Call("Add");
    pages->Call("Add");
    EXPECT_EQ(pages->Get("Count").Integer(), 3);

    link.ResetStats();
    for (int i = 1; i <= 3; ++i) {
        Object page = pages->GetObj("Item", {i});
        Object cell = page->GetObj("PageSheet")->GetObj("Cells", {std::string("PageWidth")});
        cell->PutDefault(Arg(2.5 * i));
        EXPECT_DOUBLE_EQ(std::get<double>(cell->GetDefault().AsArg()), 2.5 * i);
    }
    // Item, PageSheet and Cells looked up once each; five invokes per page.
    EXPECT_EQ(link.Stats().lookups, 3u);
    EXPECT_EQ(link.Stats().invokes, 15u);

    Object page = pages->GetObj("Item", {3});
    page->Put("Background", Arg(true));
    EXPECT_EQ(page->Get("Background").Scalar(), Arg(true));
    EXPECT_FALSE(document->Get("Saved").Scalar() == Arg(true));
    EXPECT_TRUE(app->Get("ActiveWindow").IsObject());
    EXPECT_TRUE(QuitQuietly(*app));
}

TEST_F(DispatchClientTest, ApplicationErrorsCarryTheirDescription) {
    PlantedFaults faults(L"Embedding");
    faults.Set("Cells:PlowCode", "Cell PlowCode is guarded.");
    Object app = link.StartVisio();
    app->GetObj("Documents")->Call("Add", {std::string()});
    Object sheet =
        app->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {1})->GetObj("PageSheet");
    try {
        sheet->GetObj("Cells", {std::string("PlowCode")});
        ADD_FAILURE() << "no failure";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "Cell PlowCode is guarded.");
    }
    EXPECT_THROW(app->Get("NoSuchMember"), Failure);
    EXPECT_FALSE(app->Lost());
    EXPECT_TRUE(QuitQuietly(*app));
}

TEST_F(DispatchClientTest, AnInstanceThatDiesIsReportedAsLost) {
    PlantedFaults faults(L"Embedding");
    faults.Set("Quit", "exit");
    Object app = link.StartVisio();
    Object documents = app->GetObj("Documents");
    EXPECT_THROW(app->Call("Quit"), Failure);
    EXPECT_TRUE(app->Lost());
    EXPECT_TRUE(documents->Lost());
    link.ResetStats();
    EXPECT_THROW(documents->Get("Count"), Failure);
    EXPECT_EQ(link.Stats().invokes, 0u);  // no traffic to a dead server
    EXPECT_EQ(WaitForStandinCount(0), 0);
}

TEST_F(DispatchClientTest, AttachFindsTheHandStartedInstance) {
    UserInstance user;
    ASSERT_TRUE(user.ready());
    Object app = link.AttachToVisio();
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(app->Get("Documents").IsObject());
}

}  // namespace
}  // namespace sv::backup::win32
