// Windows headers first: their A/W macros then rename members the same way everywhere here.
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "backup/save_all.h"
#include "backup/testing/choices.h"
#include "backup/testing/fakes.h"
#include "backup/testing/standin_win32.h"
#include "common/failure.h"
#include "common/system_win32.h"
#include "common/text_win32.h"
#include "history/history_log.h"

// Every member a backup run calls, failing or ending its process, in the user's instance and
// in the temporary one, against stand-in processes: whatever happens, the run returns, leaves
// no instance of its own behind, never touches the user's drawing, and logs only backups that
// hold the whole drawing.
namespace sv::backup {
namespace {

using testing::DrawingsOnDisk;
using testing::EndStrayStandins;
using testing::EnglishLocale;
using testing::FakeChoices;
using testing::FakeClock;
using testing::FileExistsUtf8;
using testing::OurStandins;
using testing::PlantedFaults;
using testing::QuitQuietly;
using testing::RecordingDialogs;
using testing::ScratchFolder;
using testing::StandinProcessCount;
using testing::UserInstance;
using testing::WaitForStandinCount;
using testing::Where;

constexpr char kLog[] = "C:\\Temp\\Stenvault.txt";
constexpr char kDrawing[] = "Plan.vsd";
constexpr int kPages = 3;
const char* const kStamp = " Date Dec 7 2021 Time 01 05 09 PM.vsd";

std::string ReadBytes(const std::string& path) {
    sv::win32::UniqueFile file(::CreateFileW(sv::win32::Widen(path).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) {
        return bytes;
    }
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

// A new instance to read a backup with. Right after a server was ended by force, Wine's COM can
// still hand out that server's stale registration for a moment: such a start is tried again.
StartedInstance StartReader(win32::DispatchLink& link) {
    for (int attempt = 1;; ++attempt) {
        try {
            return link.StartVisio();
        } catch (const Failure&) {
            if (attempt == 3) {
                throw;
            }
            win32::DispatchLink::WaitHandlingMessages(std::chrono::seconds(1));
        }
    }
}

// An instance of our own, ended by its process whatever state it is in.
void EndOwnInstance(StartedInstance instance) {
    try {
        instance.app->Put("AlertResponse", std::int32_t{7});
    } catch (...) {
    }
    QuitQuietly(*instance.app);
    instance.app.reset();
    if (instance.process) {
        instance.process->End(std::chrono::seconds(5));
    }
}

std::string Describe(const std::vector<DWORD>& ids) {
    std::string text = "processes";
    for (DWORD id : ids) {
        text += ' ';
        text += std::to_string(id);
    }
    return text;
}

enum class Fault { Error, Exit, Killed };

struct SweepRow {
    std::string name;
    bool onUser;
    std::string member;
    Fault fault;
};

// Members the run calls in each instance (the fixed folder choice adds none; the same-folder
// choice used here adds Path; "Back up only when the drawing has changed", on here, adds
// FullName, TimeEdited and Saved, and TimeEdited in the temporary instance).
const char* const kUserMembers[] = {
    "ActiveDocument", "Name", "FullName",  "TimeEdited", "Saved",           "Path", "Pages",
    "Count",          "Item", "PageSheet", "GetResults", "CreateSelection", "Copy",
};
const char* const kTemporaryMembers[] = {
    "WindowHandle32", "Visible",    "Documents", "Add",   "TimeEdited",    "Pages",  "Item",
    "PageSheet",      "SetResults", "Paste",     "Saved", "AlertResponse", "SaveAs", "Quit",
};

// Refusals the run lets pass without a report: they cost at most a visible window, a prompt
// that AlertResponse or Saved still prevents, a process ended by force or a timed run that
// copies an unchanged drawing; or the run has another way to the same result (cells one by
// one, the user's window for the shapes).
bool QuietMember(const SweepRow& row) {
    static const std::set<std::string> quietTemporary = {
        "WindowHandle32", "Visible", "Saved", "AlertResponse", "SetResults", "TimeEdited"};
    static const std::set<std::string> quietUser = {"GetResults", "CreateSelection", "FullName",
                                                    "TimeEdited", "Saved"};
    return (row.onUser ? quietUser : quietTemporary).count(row.member) > 0;
}

std::vector<SweepRow> Rows() {
    std::vector<SweepRow> rows;
    for (bool onUser : {true, false}) {
        for (const char* member :
             onUser ? std::vector<const char*>(std::begin(kUserMembers), std::end(kUserMembers))
                    : std::vector<const char*>(std::begin(kTemporaryMembers),
                                               std::end(kTemporaryMembers))) {
            for (Fault fault : {Fault::Error, Fault::Exit}) {
                rows.push_back({std::string(onUser ? "User" : "Temporary") + member +
                                    (fault == Fault::Exit ? "Exits" : "Fails"),
                                onUser, member, fault});
            }
        }
    }
    rows.push_back({"UserKilledMidRun", true, "", Fault::Killed});
    return rows;
}

// Ends the user's process from outside, as a crash or the task manager would, as soon as the
// run's temporary instance is starting: the run meets the loss when it lists the pages.
class KillWhenTemporaryStarts {
  public:
    explicit KillWhenTemporaryStarts(DWORD userProcessId)
        : process_(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, userProcessId)) {
        thread_.reset(
            ::CreateThread(nullptr, 0, &KillWhenTemporaryStarts::Watch, this, 0, nullptr));
    }
    KillWhenTemporaryStarts(const KillWhenTemporaryStarts&) = delete;
    KillWhenTemporaryStarts& operator=(const KillWhenTemporaryStarts&) = delete;
    ~KillWhenTemporaryStarts() {
        if (thread_) {
            ::WaitForSingleObject(thread_.get(), INFINITE);
        }
    }

  private:
    static DWORD WINAPI Watch(void* self) {
        auto& me = *static_cast<KillWhenTemporaryStarts*>(self);
        for (int i = 0; i < 400; ++i) {
            if (StandinProcessCount() >= 2) {
                ::TerminateProcess(me.process_.get(), 9);
                return 0;
            }
            ::Sleep(50);
        }
        return 0;
    }

    sv::win32::UniqueHandle process_;
    sv::win32::UniqueHandle thread_;
};

class SaveAllSweepTest : public ::testing::TestWithParam<SweepRow> {
  protected:
    // The user's drawing, saved once: three pages with shapes, the second a custom size.
    static void SetUpTestSuite() {
        EndStrayStandins();
        folder_ = new ScratchFolder("sweep drawings");
        sv::win32::ComApartment apartment;
        win32::DispatchLink link;
        UserInstance user;
        ASSERT_TRUE(user.ready());
        Object app = link.AttachToVisio();
        ASSERT_NE(app, nullptr);
        app->GetObj("Documents")->Call("Add", {std::string()});
        Object document = app->GetObj("ActiveDocument");
        Object pages = document->GetObj("Pages");
        for (int i = 2; i <= kPages; ++i) {
            pages->Call("Add");
        }
        for (int i = 1; i <= kPages; ++i) {
            Object page = pages->GetObj("Item", {i});
            for (int s = 1; s <= i; ++s) {
                Object shape =
                    page->Call("DrawRectangle", {1.0 * s, 1.0, 2.0 * s, 2.0}).TakeObject();
                shape->Put("Text", "Page " + std::to_string(i) + " shape " + std::to_string(s));
            }
        }
        pages->GetObj("Item", {2})
            ->GetObj("PageSheet")
            ->GetObj("Cells", {std::string("PageWidth")})
            ->PutDefault(Arg(17.0));
        document->Call("SaveAs", {}, {{"fileName", DrawingPath()}});
        pages.reset();
        document.reset();
        app.reset();
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
        EndStrayStandins();
    }
    static std::string DrawingPath() { return folder_->path() + "\\" + kDrawing; }

    void SetUp() override {
        EndStrayStandins();
        clock.times = {{2021, 12, 7, 13, 5, 9}};
        choices.where = Where::SameFolder;
        choices.changedOnly = true;
    }
    void TearDown() override { EndStrayStandins(); }

    static ScratchFolder* folder_;

    sv::win32::ComApartment apartment;
    win32::DispatchLink link;
    RecordingDialogs dialogs;
    FakeChoices choices;
    FakeClock clock;
    EnglishLocale locale;
    DrawingsOnDisk files;
    BackupEngine engine{link, dialogs, choices, clock, locale, files, kLog, ".vsd"};
};

ScratchFolder* SaveAllSweepTest::folder_ = nullptr;

TEST_P(SaveAllSweepTest, RunEndsCleanAndLogsOnlyWholeBackups) {
    const SweepRow& row = GetParam();
    const std::string drawing = DrawingPath();
    const std::string target = drawing + kStamp;
    const std::string before = ReadBytes(drawing);
    ASSERT_FALSE(before.empty());
    ::DeleteFileW(sv::win32::Widen(target).c_str());

    std::optional<PlantedFaults> userFaults(std::in_place, L"Interactive");
    std::optional<PlantedFaults> temporaryFaults(std::in_place, L"Embedding");
    if (row.fault != Fault::Killed) {
        (row.onUser ? *userFaults : *temporaryFaults)
            .Set(row.member,
                 row.fault == Fault::Exit ? "exit" : "Planted failure of " + row.member);
    }
    auto user = std::make_unique<UserInstance>();
    ASSERT_TRUE(user->ready());
    const DWORD userId = user->processId();
    {
        Object app = link.AttachToVisio();
        ASSERT_NE(app, nullptr);
        app->GetObj("Documents")->Call("Open", {drawing});
    }
    sv::win32::UniqueHandle userProcess(::OpenProcess(SYNCHRONIZE, FALSE, userId));

    {
        std::optional<KillWhenTemporaryStarts> killer;
        if (row.fault == Fault::Killed) {
            killer.emplace(userId);
        }
        engine.SaveAll();
        if (killer) {
            killer.reset();
            EXPECT_FALSE(::WaitForSingleObject(userProcess.get(), 0) == WAIT_TIMEOUT)
                << "the user's instance was not killed during the run";
        }
    }
    userFaults.reset();
    temporaryFaults.reset();

    const bool userAlive = ::WaitForSingleObject(userProcess.get(), 0) == WAIT_TIMEOUT;
    EXPECT_EQ(WaitForStandinCount(userAlive ? 1 : 0), userAlive ? 1 : 0)
        << "an instance of the run outlived it: " << Describe(OurStandins()) << " besides "
        << userId;
    EXPECT_EQ(ReadBytes(drawing), before) << "the user's drawing changed";

    const bool logged = !files.files.empty() && !files.files[kLog].empty();
    EXPECT_EQ(logged, FileExistsUtf8(target)) << "a history line without a backup, or the reverse";
    if (logged && FileExistsUtf8(target)) {
        StartedInstance reader = StartReader(link);
        Object backup = reader.app->GetObj("Documents")->Call("Open", {target}).TakeObject();
        EXPECT_EQ(backup->GetObj("Pages")->Get("Count").Integer(), kPages);
        backup.reset();
        EndOwnInstance(std::move(reader));
    }

    // The planted fault was met: a failure is reported unless the run deliberately lets it
    // pass, and an ended user's instance is gone.
    if (row.fault != Fault::Exit && !QuietMember(row)) {
        EXPECT_GE(dialogs.messages.size(), 1u) << "the fault was never met";
    }
    if (row.onUser && row.fault == Fault::Exit) {
        EXPECT_FALSE(userAlive) << "the fault was never met";
    }
    // No backup of the open drawing: said at least once.
    if (!logged) {
        EXPECT_GE(dialogs.messages.size(), 1u) << "the run ended without a backup and a word";
    }
    EXPECT_LE(dialogs.messages.size(), 3u);
    std::set<std::string> descriptions;
    for (const auto& message : dialogs.messages) {
        const std::string description = message.text.substr(0, message.text.find("\r\n"));
        EXPECT_TRUE(descriptions.insert(description).second) << "reported twice: " << description;
    }
    ::DeleteFileW(sv::win32::Widen(target).c_str());
    user.reset();
}

INSTANTIATE_TEST_SUITE_P(Members, SaveAllSweepTest, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

// A character the ANSI code page lacks becomes "?": a look-alike would name another file.
TEST(HistoryLineWineTest, NameOutsideTheCodePageIsNotBestFitted) {
    const std::string name = "Pl\xC3\xA4n \xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC.vsd";
    EXPECT_EQ(sv::win32::ToCodePage(name, 1252), "Pl\xE4n ?mega ??.vsd");
    if (::GetACP() != 1252) {
        GTEST_SKIP() << "the prefix's ANSI code page is " << ::GetACP();
    }
    ScratchFolder folder("history line");
    const std::string log = folder.path() + "\\Stenvault.txt";
    sv::win32::Win32FileSystem files;
    AppendHistoryLine(files, log, name + " was backup saved as C:\\B\\" + name);
    EXPECT_EQ(ReadBytes(log),
              "Pl\xE4n ?mega ??.vsd was backup saved as C:\\B\\Pl\xE4n ?mega ??.vsd\r\n");
}

}  // namespace
}  // namespace sv::backup
