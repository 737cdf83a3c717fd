#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "backup/testing/fakes.h"
#include "backup/testing/standin_win32.h"
#include "common/failure.h"

namespace sv::backup::win32 {
namespace {

using sv::win32::ComPtr;
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

TEST_F(DispatchClientTest, AnApplicationThatCannotStartEitherWayIsSaidOnce) {
    DispatchLink missing(L"Nothing.Registered.Here", kBusyPatience, kBusyRetryInterval,
                         L"Nothing.Registered.Either");
    testing::BrokenClass invisible(L"Visio.InvisibleApp");
    testing::BrokenClass application(L"Visio.Application");
    for (DispatchLink* broken : {&missing, &link}) {
        EXPECT_EQ(broken->AttachToVisio(), nullptr);
        EXPECT_THROW(broken->StartVisio(), Failure);
        RecordingDialogs dialogs;
        EXPECT_FALSE(backup::CheckVisioInstalled(*broken, dialogs, "Stenvault"));
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].title, "Stenvault");
    }
    EXPECT_EQ(WaitForStandinCount(0), 0);
}

TEST_F(DispatchClientTest, InstalledCheckLeavesNoInstanceBehind) {
    RecordingDialogs dialogs;
    EXPECT_TRUE(CheckVisioInstalled(dialogs, "Stenvault"));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(WaitForStandinCount(0), 0);
}

TEST_F(DispatchClientTest, MembersAreLookedUpOncePerKindAndValuesRoundTrip) {
    Object app = link.StartVisio().app;
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
    page->Put("Name", Arg(std::string("Renamed")));
    EXPECT_EQ(page->GetText("Name"), "Renamed");
    EXPECT_FALSE(document->Get("Saved").Scalar() == Arg(true));
    EXPECT_TRUE(app->Get("ActiveWindow").IsObject());
    EXPECT_TRUE(QuitQuietly(*app));
}

// An in-process server whose members have the DISPIDs given; every call gives 1.
class NumberedServer : public IDispatch {
  public:
    explicit NumberedServer(std::map<std::wstring, DISPID> ids) : ids_(std::move(ids)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        auto found = ids_.find(names[0]);
        *ids = found == ids_.end() ? DISPID_UNKNOWN : found->second;
        return found == ids_.end() ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        for (const auto& [name, known] : ids_) {
            if (known == id) {
                result->vt = VT_I4;
                result->lVal = 1;
                return S_OK;
            }
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    ComPtr<IDispatch> Ref() { return ComPtr<IDispatch>::AddRefed(this); }

  private:
    std::map<std::wstring, DISPID> ids_;
    ULONG refs_ = 1;
};

// Each connection of a link uses what another one looked up; a server that numbers its members
// otherwise, or lacks one, is asked itself.
TEST_F(DispatchClientTest, DispidsOfOneConnectionServeTheNextAndAreAskedWhereUnknown) {
    NumberedServer first({{L"Visible", 5}, {L"Documents", 6}});
    NumberedServer same({{L"Visible", 5}, {L"Documents", 6}});
    NumberedServer other({{L"Visible", 9}});
    link.Wrap(first.Ref())->Get("Visible");
    link.Wrap(first.Ref())->Get("Documents");
    link.ResetStats();
    Object again = link.Wrap(same.Ref());
    EXPECT_EQ(again->Get("Visible").Integer(), 1);
    EXPECT_EQ(again->Get("Documents").Integer(), 1);
    EXPECT_EQ(link.Stats().lookups, 0u);
    Object renumbered = link.Wrap(other.Ref());
    EXPECT_EQ(renumbered->Get("Visible").Integer(), 1);
    EXPECT_THROW(renumbered->Get("Documents"), UnknownMember);
    EXPECT_EQ(link.Stats().lookups, 2u);
    EXPECT_EQ(link.Stats().invokes, 5u);
}

TEST_F(DispatchClientTest, ApplicationErrorsCarryTheirDescription) {
    PlantedFaults faults(L"Embedding");
    faults.Set("Cells:PlowCode", "Cell PlowCode is guarded.");
    Object app = link.StartVisio().app;
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
    Object app = link.StartVisio().app;
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

struct BusyCase {
    const char* name;
    const char* data;  // planted on Documents of a started copy
    std::chrono::milliseconds patience;
    bool answers;  // the next call gets through in the end
};

class BusyApplication : public DispatchClientTest,
                        public ::testing::WithParamInterface<BusyCase> {};

TEST_P(BusyApplication, RefusedCallsAreMadeAgainUntilThePatienceRunsOut) {
    const BusyCase& c = GetParam();
    DispatchLink patient(L"Visio.Application", c.patience);
    Object app;
    {
        PlantedFaults faults(L"Embedding");
        faults.Set("Documents", c.data);
        app = patient.StartVisio().app;
    }
    Object documents = app->GetObj("Documents");  // the refusals start after this call
    patient.ResetStats();
    if (c.answers) {
        EXPECT_EQ(documents->Get("Count").Integer(), 0);
        EXPECT_GT(patient.Stats().lookups, 1u) << "never refused, so never made again";
        EXPECT_FALSE(app->Lost());
        EXPECT_TRUE(QuitQuietly(*app));
        return;
    }
    try {
        documents->Get("Count");
        ADD_FAILURE() << "a call to an application busy for ever succeeded";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "Visio stayed busy and refused the call for 1 second.");
    }
    // Given up: every object of the connection, and no more traffic to it.
    EXPECT_TRUE(app->Lost());
    EXPECT_TRUE(documents->Lost());
    const CallStats before = patient.Stats();
    EXPECT_THROW(app->Get("ProcessID"), Failure);
    EXPECT_EQ(patient.Stats().invokes + patient.Stats().lookups, before.invokes + before.lookups);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, BusyApplication,
    ::testing::Values(BusyCase{"ForAMoment", "busy 2", kBusyPatience, true},
                      BusyCase{"ForEver", "busy forever", std::chrono::seconds(1), false}),
    [](const ::testing::TestParamInfo<BusyCase>& info) { return std::string(info.param.name); });

// A window of the test thread that counts what reaches it.
class CountingWindow {
  public:
    CountingWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CountingWindow::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"StenvaultLinkTestWindow";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;
    ~CountingWindow() { ::DestroyWindow(window_); }

    HWND get() const { return window_; }
    int sent = 0;
    int clicks = 0;
    int paints = 0;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CountingWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == WM_APP) {
            ++self->sent;
            return 1;
        }
        if (self && message == WM_LBUTTONDOWN) {
            ++self->clicks;
            return 0;
        }
        if (self && message == WM_PAINT) {
            PAINTSTRUCT ps;
            ::BeginPaint(hwnd, &ps);
            ::EndPaint(hwnd, &ps);
            ++self->paints;
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

TEST_F(DispatchClientTest, WhileRefusedTheThreadAnswersSentMessagesAndKeepsInputQueued) {
    // Tries far apart: every call into COM handles messages of its own, the waits between
    // them must too.
    DispatchLink slow(L"Visio.Application", kBusyPatience, std::chrono::milliseconds(1500));
    Object app;
    {
        PlantedFaults faults(L"Embedding");
        faults.Set("Documents", "busy 2");
        app = slow.StartVisio().app;
    }
    Object documents = app->GetObj("Documents");
    CountingWindow window;
    ::ValidateRect(window.get(), nullptr);
    ::PostMessageW(window.get(), WM_LBUTTONDOWN, 0, 0);
    std::atomic<bool> answered{false};
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::InvalidateRect(window.get(), nullptr, FALSE);
        DWORD_PTR result = 0;
        answered = ::SendMessageTimeoutW(window.get(), WM_APP, 0, 0, SMTO_NORMAL, 1000, &result) &&
                   result == 1;
    });
    EXPECT_EQ(documents->Get("Count").Integer(), 0);
    sender.join();
    EXPECT_TRUE(answered) << "the thread did not answer while it waited";
    EXPECT_EQ(window.sent, 1);
    EXPECT_GE(window.paints, 1) << "the window was not painted while the thread waited";
    // A click must not start other work in the middle of a call: it waits for the loop.
    EXPECT_EQ(window.clicks, 0);
    MSG msg;
    EXPECT_TRUE(::PeekMessageW(&msg, window.get(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_TRUE(QuitQuietly(*app));
}

TEST_F(DispatchClientTest, AnObjectPropertyIsGivenOnePlainPut) {
    Object app = link.StartVisio().app;
    app->GetObj("Documents")->Call("Add", {std::string()});
    Object window = app->GetObj("ActiveWindow");
    window->GetObj("Page")->Call("DrawRectangle", {1.0, 1.0, 2.0, 2.0});
    window->Call("SelectAll");
    Object selection = window->GetObj("Selection");
    window->Call("DeselectAll");

    link.ResetStats();
    window->PutObject("Selection", *selection);
    // The type library has a plain put only: a put by reference first would cost a refusal.
    EXPECT_EQ(link.Stats().invokes, 1u);
    EXPECT_EQ(window->GetObj("Selection")->Get("Count").Integer(), 1);
    EXPECT_TRUE(QuitQuietly(*app));
}

struct ArrayCase {
    const char* name;
    std::int32_t flags;         // GetResults: 0 values, 2 rounded whole numbers
    std::vector<Scalar> given;  // what the result array holds before the call
    std::vector<Scalar> expected;
};

class ArraysByReference : public DispatchClientTest,
                          public ::testing::WithParamInterface<ArrayCase> {};

TEST_P(ArraysByReference, TheMemberFillsThemAndTheyComeBack) {
    const ArrayCase& c = GetParam();
    Object app = link.StartVisio().app;
    app->GetObj("Documents")->Call("Add", {std::string()});
    Object sheet =
        app->GetObj("ActiveDocument")->GetObj("Pages")->GetObj("Item", {1})->GetObj("PageSheet");
    // PageWidth and PageHeight: object section, page row, cells 0 and 1.
    const IntegerArray stream{{1, 10, 0, 1, 10, 1}};
    Args set{stream, VariantArray{}, VariantArray{{2.5, std::string("4")}}, std::int32_t{0}};
    EXPECT_EQ(sheet->CallWithArrays("SetResults", set).Integer(), 2);
    EXPECT_EQ(std::get<IntegerArray>(set[0]), stream);

    // Again and again: results written past an array's storage show in the heap sooner or later.
    for (int i = 0; i < 5; ++i) {
        Args get{stream, c.flags, VariantArray{}, VariantArray{c.given}};
        sheet->CallWithArrays("GetResults", get);
        ASSERT_EQ(std::get<VariantArray>(get[3]).items, c.expected);
        EXPECT_EQ(std::get<IntegerArray>(get[0]), stream);
    }
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, nullptr)) << "the heap was overrun";

    // A failed call leaves the arrays as they were, and the connection usable.
    Args bad{IntegerArray{{1, 10, 99}}, std::int32_t{0}, VariantArray{}, VariantArray{c.given}};
    EXPECT_THROW(sheet->CallWithArrays("GetResults", bad), Failure);
    EXPECT_EQ(std::get<VariantArray>(bad[3]).items, c.given);
    EXPECT_FALSE(app->Lost());
    EXPECT_TRUE(QuitQuietly(*app));
}

INSTANTIATE_TEST_SUITE_P(GetResults, ArraysByReference,
                         ::testing::Values(ArrayCase{"IntoAnEmptyArray", 0, {}, {2.5, 4.0}},
                                           ArrayCase{"InPlaceOfALongerOne",
                                                     2,
                                                     {std::string("a"), 1.0, 2.0, 3.0, 4.0},
                                                     {std::int32_t{3}, std::int32_t{4}}}),
                         [](const ::testing::TestParamInfo<ArrayCase>& info) {
                             return std::string(info.param.name);
                         });

struct StartCase {
    const char* name;
    bool userRunning;      // the user's instance is running before the start
    bool handStartedToo;   // another copy is started by hand while the start is under way
    bool invisibleBroken;  // the invisible class is registered but cannot start
};

class StartedInstanceProcess : public DispatchClientTest,
                               public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartedInstanceProcess, EndEndsTheStartedInstanceAndNoOther) {
    const StartCase& c = GetParam();
    std::optional<UserInstance> user;
    std::vector<sv::win32::UniqueHandle> others;
    std::vector<DWORD> otherIds;
    if (c.userRunning) {
        user.emplace();
        ASSERT_TRUE(user->ready());
        others.emplace_back(::OpenProcess(SYNCHRONIZE, FALSE, user->processId()));
        otherIds.push_back(user->processId());
    }
    PROCESS_INFORMATION byHand{};
    std::thread starter;
    if (c.handStartedToo) {
        // A start under Wine takes about a second; this one lands inside it.
        starter = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            std::wstring commandLine = L"\"" + testing::StandinPath() + L"\"";
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &byHand);
        });
    }
    std::optional<testing::BrokenClass> broken;
    if (c.invisibleBroken) {
        broken.emplace(L"Visio.InvisibleApp");
    }
    StartedInstance started = link.StartVisio();
    broken.reset();
    // Hidden from its start, unless only the application class would start.
    EXPECT_EQ(started.app->Get("Visible").Scalar(), Arg(c.invisibleBroken));
    if (starter.joinable()) {
        starter.join();
        ASSERT_NE(byHand.hProcess, nullptr);
        ::CloseHandle(byHand.hThread);
        others.emplace_back(byHand.hProcess);
        otherIds.push_back(byHand.dwProcessId);
    }
    std::vector<DWORD> ours;
    for (DWORD id : testing::OurStandins()) {
        if (std::find(otherIds.begin(), otherIds.end(), id) == otherIds.end()) {
            ours.push_back(id);
        }
    }
    ASSERT_EQ(ours.size(), 1u);
    sv::win32::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, ours[0]));
    ASSERT_TRUE(process);
    ASSERT_NE(started.process, nullptr);
    started.app.reset();
    // Still running after the grace: it was never asked to quit.
    started.process->End(std::chrono::milliseconds(200));
    EXPECT_EQ(::WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
    for (const auto& other : others) {
        EXPECT_EQ(::WaitForSingleObject(other.get(), 0), WAIT_TIMEOUT) << "another copy was ended";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, StartedInstanceProcess,
    ::testing::Values(StartCase{"Alone", false, false, false},
                      StartCase{"BesideTheUsers", true, false, false},
                      StartCase{"WhileAnotherIsStartedByHand", true, true, false},
                      StartCase{"TheInvisibleClassCannotStart", false, false, true}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::backup::win32
