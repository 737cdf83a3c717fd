#include "app/form1.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/product.h"
#include "settings/memory_settings_store.h"

namespace sv {
namespace {

constexpr char kDesktop[] = "C:\\Users\\ann\\Desktop";
constexpr char kProgramFolder[] = "C:\\Program Files\\Stenvault";
constexpr char kInitialStatus[] = "On. Next backup save will occur in";

// Names of fake operations a test can make fail.
using Faults = std::set<std::string>;

void MaybeFail(const Faults& faults, const std::string& operation) {
    if (faults.count(operation))
        throw Failure(operation + " failed");
}

class FakeSkin : public SkinHost {
  public:
    void SetButtonFaceBackground() override {}
    void LoadSkin(const std::string&, const std::string&) override {}
    std::int32_t SkinOptions() override { return 0; }
    void SetSkinOptions(std::int32_t) override {}
    void SetSkinFlag(int, bool) override {}
    void ApplyToWindow() override {}
};

class FakeBuffer : public CopyBuffer {
  public:
    void LoadText(const std::string& text) override { text_ = text; }
    void SetSelectionStart(int) override {}
    void SetSelectionLength(int) override {}
    int TextLength() override { return static_cast<int>(text_.size()); }
    void SendCopy() override {}

  private:
    std::string text_;
};

// The main window's controls in their state before start-up, with a trace of what was done.
class FakeView : public FormView {
  public:
    Faults faults;
    std::vector<std::string> trace;

    std::array<bool, 4> options{};
    std::array<int, 4> checks{};
    bool check8Visible = true;
    std::string folderText;
    std::vector<std::pair<std::string, int>> columns;
    std::vector<std::string> rows;
    std::optional<int> selectedRow;
    std::string toggleCaption = "Turn On Backup Save";
    std::string status = kInitialStatus;
    int timerInterval = 0;
    int progressMax = 100;
    int progressPosition = 0;
    std::string caption = "Form1";
    bool visible = false;
    WindowState state = WindowState::Normal;
    Pointer pointer = Pointer::Default;
    std::string customPointerFile;
    bool previousInstance = false;
    bool ended = false;
    FakeSkin skin;
    FakeBuffer buffer;

    std::string ToggleCaption() override { return toggleCaption; }
    void SetToggleCaption(const std::string& text) override { toggleCaption = text; }
    int TimerInterval() override { return timerInterval; }
    void SetTimerInterval(int ms) override { timerInterval = ms; }
    void SetStatus(const std::string& text) override { status = text; }
    void SetProgressMax(int maximum) override { progressMax = maximum; }
    void SetProgressPosition(int position) override { progressPosition = position; }
    std::optional<std::string> SelectedRowText() override {
        if (!selectedRow)
            return std::nullopt;
        return rows[*selectedRow - 1];
    }
    std::optional<int> SelectedRowNumber() override { return selectedRow; }

    bool OptionSelected(Option option) override { return options[Index(option)]; }
    void SelectOption(Option option) override {
        const int i = Index(option);
        options[i] = true;
        options[i ^ 1] = false;
    }
    int CheckValue(CheckBox box) override { return checks[static_cast<int>(box)]; }
    void SetCheckValue(CheckBox box, int value) override { checks[static_cast<int>(box)] = value; }
    bool Check8Visible() override { return check8Visible; }
    void SetCheck8Visible(bool isVisible) override { check8Visible = isVisible; }
    std::string FolderText() override { return folderText; }
    void SetFolderText(const std::string& text) override { folderText = text; }
    void AddListColumn(const std::string& heading, int width) override {
        columns.emplace_back(heading, width);
    }
    void AddListRow(const std::string& text) override {
        MaybeFail(faults, "AddListRow");
        rows.push_back(text);
    }
    void SelectListRow(int position) override {
        if (position < 1 || position > static_cast<int>(rows.size())) {
            throw Failure("Invalid property value");
        }
        selectedRow = position;
    }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetApplicationIcon() override {}
    void Show() override {
        MaybeFail(faults, "Show");
        visible = true;
        trace.push_back("show");
    }
    bool Visible() override { return visible; }
    void SetVisible(bool isVisible) override {
        visible = isVisible;
        trace.push_back(isVisible ? "visible" : "hidden");
    }
    WindowState GetWindowState() override { return state; }
    void SetWindowState(WindowState newState) override {
        MaybeFail(faults, "SetWindowState");
        state = newState;
        trace.push_back(newState == WindowState::Minimized ? "minimized" : "normal");
    }
    void Focus() override { trace.push_back("focus"); }
    WindowHandle Handle() override { return 0x1234; }
    Pointer MousePointer() override { return pointer; }
    void SetMousePointer(Pointer p) override { pointer = p; }
    void LoadCustomPointer(const std::string& path) override {
        MaybeFail(faults, "LoadCustomPointer");
        customPointerFile = path;
    }
    bool PreviousInstanceRunning() override {
        MaybeFail(faults, "PreviousInstanceRunning");
        return previousInstance;
    }
    void EndProgram() override {
        ended = true;
        trace.push_back("end");
    }
    void PumpEvents() override {}
    SkinHost& Skin() override { return skin; }
    CopyBuffer& HistoryBuffer() override { return buffer; }

  private:
    static int Index(Option option) { return static_cast<int>(option) - 1; }
};

struct Shown {
    std::string text;
    std::string title;
    unsigned style;
};

class FakeDialogs : public Dialogs {
  public:
    std::vector<Shown> shown;
    std::string folderAnswer;
    bool browseFails = false;
    std::vector<std::pair<WindowHandle, std::string>> browses;

    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override {
        shown.push_back({text, title, style});
        return mb::kIdOk;
    }
    std::string BrowseForFolder(WindowHandle owner, const std::string& title,
                                const std::string&) override {
        browses.emplace_back(owner, title);
        if (browseFails)
            throw Failure("browse failed");
        return folderAnswer;
    }

    // Locations and labels of the error reports shown, in order.
    std::vector<std::pair<std::string, int>> Reports() const {
        std::vector<std::pair<std::string, int>> reports;
        for (const Shown& s : shown) {
            if (s.title != "Application Error")
                continue;
            const auto in = s.text.find("in Quorvel2021/08/31.");
            const auto at = s.text.find("at line ");
            reports.emplace_back(s.text.substr(in, at - in), std::stoi(s.text.substr(at + 8)));
        }
        return reports;
    }
    std::vector<int> Labels() const {
        std::vector<int> labels;
        for (const auto& report : Reports())
            labels.push_back(report.second);
        return labels;
    }
};

class FakeFiles : public FileSystem {
  public:
    Faults faults;
    std::set<std::string> existing;

    bool Exists(const std::string& path) override { return existing.count(path) > 0; }
    bool IsOrdinaryFile(const std::string&) override { return false; }
    void AppendText(const std::string&, const std::string&) override {}
    std::string ReadText(const std::string&) override { return {}; }
    bool DeletePlain(const std::string&) override { return false; }
    bool DeleteForced(const std::string&) override { return false; }
    void MoveOver(const std::string&, const std::string&) override {}
    std::vector<FolderEntry> ListFolder(const std::string&) override { return {}; }
    bool RemoveUnused(const std::string&, Removal) override { return false; }
    std::string ProgramFolder() override {
        MaybeFail(faults, "ProgramFolder");
        return kProgramFolder;
    }
};

class FakeLauncher : public Launcher {
  public:
    std::vector<std::string> started;
    void Start(const std::string& commandLine, WindowShow) override {
        started.push_back(commandLine);
    }
};

class FakeRandom : public RandomSource {
  public:
    double SeededDraw() override { return 0.5; }
};

class FakeEnvironment : public Environment {
  public:
    std::optional<std::string> Variable(const std::string& name) override {
        if (name == "TEMP")
            return std::string("C:\\Temp");
        return std::nullopt;
    }
};

class FakeShellFolders : public ShellFolders {
  public:
    bool refuses = false;
    std::optional<std::string> SpecialFolderPath(int) override {
        if (refuses)
            return std::nullopt;
        return std::string(kDesktop);
    }
};

class FakeTrayShell : public TrayShell {
  public:
    std::vector<std::pair<std::uint32_t, TrayIconRecord>> notified;
    std::function<void()> duringWait;
    std::int64_t now = 0;

    bool Notify(std::uint32_t operation, const TrayIconRecord& record) override {
        notified.emplace_back(operation, record);
        return true;
    }
    void HookWindow(cSysTray&) override {}
    void UnhookWindow() override {}
    bool PumpEvents(std::int64_t timeoutMs) override {
        if (duringWait)
            std::exchange(duringWait, nullptr)();
        now += timeoutMs;
        return true;
    }
    std::int64_t MonotonicMilliseconds() override { return now; }

    std::vector<TrayIconRecord> Balloons() const {
        std::vector<TrayIconRecord> balloons;
        for (const auto& [operation, record] : notified) {
            if ((record.uFlags & nif::kInfo) && !record.info.empty())
                balloons.push_back(record);
        }
        return balloons;
    }
    bool LastWas(std::uint32_t operation) const {
        return !notified.empty() && notified.back().first == operation;
    }
};

class FakeRegistry : public Registry {
  public:
    std::map<std::string, std::string> values;
    int opens = 0;

    std::optional<Key> Open(RegistryRoot, const std::string&, std::uint32_t) override {
        ++opens;
        return Key{1};
    }
    bool SetString(Key, const std::string& name, const std::string& value) override {
        values[name] = value;
        return true;
    }
    bool DeleteValue(Key, const std::string& name) override { return values.erase(name) > 0; }
    void Close(Key) override {}
};

// A store that can refuse writes, and counts them per key.
class RecordingStore : public MemorySettingsStore {
  public:
    bool refuseWrites = false;
    std::map<std::string, int> writesOf;

    void Write(const std::string& app, const std::string& section, const std::string& key,
               const std::string& value) override {
        if (refuseWrites)
            throw Failure("Permission denied");
        ++writesOf[key];
        MemorySettingsStore::Write(app, section, key, value);
    }
};

class Form1Test : public ::testing::Test {
  protected:
    Form1& Form() {
        if (!form_) {
            form_.emplace(view, Form1Services{store, dialogs, files, launcher, random, environment,
                                              shell, tray,
                                              [this](RunCause) {
                                                  pointerDuringRun.push_back(view.pointer);
                                                  if (runFails)
                                                      throw Failure("run failed");
                                              },
                                              [this](const std::string& title) {
                                                  visioCheckTitle = title;
                                                  visioCheckAfterLoad = !form_->LoadingSettings();
                                                  return visioInstalled;
                                              },
                                              registry, "C:\\Program Files\\Stenvault\\sv.exe"});
        }
        return *form_;
    }
    Form1& Loaded() {
        Form().Form_Load();
        return *form_;
    }

    FakeView view;
    RecordingStore store;
    FakeDialogs dialogs;
    FakeFiles files;
    FakeLauncher launcher;
    FakeRandom random;
    FakeEnvironment environment;
    FakeShellFolders shell;
    FakeTrayShell tray;
    FakeRegistry registry;
    std::vector<Pointer> pointerDuringRun;
    bool runFails = false;
    bool visioInstalled = true;
    std::string visioCheckTitle;
    bool visioCheckAfterLoad = false;

  private:
    std::optional<Form1> form_;
};

// Start-up with one stored value (none for the fresh store); the fields name what the window
// then shows, a fresh store's outcome unless given.
struct StoredCase {
    const char* key = nullptr;
    const char* value = "";
    Option where = Option::Option1;
    Option naming = Option::Option3;
    std::optional<int> row = 3;
    const char* caption = "Turn Off Backup Save";
    const char* status = kInitialStatus;
    int timer = 1000;
    std::array<int, 4> checks{};
    std::vector<int> reportLabels{};
};

void PrintTo(const StoredCase& c, std::ostream* os) {
    *os << (c.key ? c.key : "fresh") << "=\"" << c.value << '"';
}

class StoredValueTest : public Form1Test, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValueTest, ControlsShowTheStoredChoice) {
    const StoredCase& c = GetParam();
    if (c.key)
        store.Set(c.key, c.value);
    Loaded();

    const int where = static_cast<int>(c.where) - 1;
    EXPECT_TRUE(view.options[where]);
    EXPECT_FALSE(view.options[where ^ 1]);
    const int naming = static_cast<int>(c.naming) - 1;
    EXPECT_TRUE(view.options[naming]);
    EXPECT_FALSE(view.options[naming ^ 1]);
    EXPECT_EQ(view.selectedRow, c.row);
    EXPECT_EQ(view.toggleCaption, c.caption);
    EXPECT_EQ(view.status, c.status);
    EXPECT_EQ(view.timerInterval, c.timer);
    EXPECT_EQ(view.checks, c.checks);
    EXPECT_EQ(dialogs.Labels(), c.reportLabels);
    // The option handlers store what start-up selected.
    EXPECT_EQ(store.Value("WhereOption"), c.where == Option::Option1 ? "1" : "2");
    EXPECT_EQ(store.Value("Backup Option"), c.naming == Option::Option3 ? "1" : "2");
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, StoredValueTest,
    ::testing::Values(
        StoredCase{}, StoredCase{.key = "WhereOption", .value = "2", .where = Option::Option2},
        StoredCase{.key = "WhereOption", .value = "0", .where = Option::Option2},
        StoredCase{.key = "WhereOption", .value = "1 ", .where = Option::Option2},
        StoredCase{.key = "Backup Option", .value = "2", .naming = Option::Option4},
        StoredCase{.key = "Backup Option", .value = "2abc", .naming = Option::Option4},
        StoredCase{.key = "Backup Option", .value = "3"},
        StoredCase{.key = "Backup Option", .value = "x"},
        StoredCase{.key = "Minimized", .value = "ON"},
        StoredCase{.key = "Changed Only", .value = "On", .checks = {0, 0, 1, 0}},
        StoredCase{.key = "Changed Only", .value = "on"},
        StoredCase{.key = "Changed Only", .value = "On "},
        StoredCase{.key = "Thin Out", .value = "On", .checks = {0, 0, 0, 1}},
        StoredCase{.key = "Thin Out", .value = "ON"}, StoredCase{.key = "Thin Out", .value = "1"},
        StoredCase{.key = "Windows Startup", .value = "on"},
        StoredCase{.key = "Windows Startup", .value = "On", .checks = {1, 0, 0, 0}},
        StoredCase{.key = "OftenIndex", .value = "10", .row = 10},
        StoredCase{.key = "OftenIndex", .value = "11", .row = std::nullopt, .reportLabels = {172}},
        StoredCase{
            .key = "OftenIndex", .value = "abc", .row = std::nullopt, .reportLabels = {170, 172}},
        StoredCase{.key = "StartStopState",
                   .value = "Off",
                   .caption = "Turn On Backup Save",
                   .status = "Auto Save is Turned Off.",
                   .timer = 0},
        StoredCase{.key = "StartStopState",
                   .value = "junk",
                   .caption = "Turn On Backup Save",
                   .timer = 0}));

TEST_F(Form1Test, FreshStartFillsTheWindowAndStoresOnlyWhatHandlersSaw) {
    Form1& form = Loaded();

    EXPECT_EQ(view.folderText, std::string(kDesktop) + "\\");
    EXPECT_EQ(view.caption, "Stenvault");
    ASSERT_EQ(view.columns.size(), 1u);
    EXPECT_EQ(view.columns[0].second, 6400);
    EXPECT_EQ(view.rows, (std::vector<std::string>{"Save every 30 seconds", "Save every 1 minute",
                                                   "Save every 5 minutes", "Save every 15 minutes",
                                                   "Save every 30 minutes", "Save every hour",
                                                   "Save every 2 hours", "Save every 4 hours",
                                                   "Save every 8 hours", "Save every 24 hours"}));
    EXPECT_EQ(view.SelectedRowText(), "Save every 5 minutes");
    EXPECT_TRUE(view.visible);
    EXPECT_FALSE(view.ended);
    EXPECT_EQ(form.BackupExtension(), ".vsd");
    EXPECT_EQ(form.HistoryLogPath(), "C:\\Temp\\Stenvault.txt");
    EXPECT_EQ(form.ApplicationTitle(), "Stenvault");
    EXPECT_FALSE(form.LoadingSettings());
    EXPECT_TRUE(form.cSysTray1().InTray());
    EXPECT_EQ(form.cSysTray1().TrayTip(), "Stenvault");
    EXPECT_EQ(visioCheckTitle, "Stenvault");
    EXPECT_TRUE(visioCheckAfterLoad);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(launcher.started.empty());

    std::map<std::string, std::string> stored;
    for (const auto& [key, value] : store.Values()) {
        EXPECT_EQ(std::get<0>(key), "Veltrane");
        EXPECT_EQ(std::get<1>(key), "Stenvault");
        stored[std::get<2>(key)] = value;
    }
    EXPECT_EQ(stored, (std::map<std::string, std::string>{{"Path", std::string(kDesktop) + "\\"},
                                                          {"WhereOption", "1"},
                                                          {"Backup Option", "1"}}));
}

TEST_F(Form1Test, StoredEmptyPathStaysEmpty) {
    store.Set("Path", "");
    Loaded();
    EXPECT_EQ(view.folderText, "");
    EXPECT_EQ(store.Value("Path"), "");
}

TEST_F(Form1Test, StartInTrayShowsThenHidesWithOneBalloon) {
    store.Set("Minimized", "On");
    Form1& form = Loaded();

    EXPECT_EQ(view.trace, (std::vector<std::string>{"show", "minimized", "hidden", "normal"}));
    EXPECT_EQ(view.state, WindowState::Normal);
    EXPECT_TRUE(form.HiddenToTray());
    EXPECT_EQ(view.checks[1], 1);
    EXPECT_EQ(store.writesOf["Minimized"], 1);
    EXPECT_EQ(store.Value("Minimized"), "On");
    ASSERT_EQ(tray.Balloons().size(), 1u);
    EXPECT_EQ(tray.Balloons()[0].infoTitle, "Stenvault");
    EXPECT_EQ(tray.Balloons()[0].info.rfind("has been minimized to the system tray.\r\n", 0), 0u);
    EXPECT_EQ(tray.notified.front().first, nim::kAdd);
    EXPECT_EQ(form.HistoryLogPath(), "C:\\Temp\\Stenvault.txt");
}

TEST_F(Form1Test, StoredStartupEntryIsNeitherRewrittenNorRemoved) {
    store.Set("Windows Startup", "On");
    store.Set("Minimized", "Off");
    Loaded();

    EXPECT_EQ(view.checks, (std::array<int, 4>{1, 0, 0, 0}));
    EXPECT_TRUE(view.check8Visible);
    EXPECT_EQ(registry.opens, 0);
    EXPECT_EQ(store.writesOf.count("Windows Startup"), 0u);
    EXPECT_EQ(store.writesOf.count("Minimized"), 0u);
}

TEST_F(Form1Test, SecondInstanceEndsSilently) {
    view.previousInstance = true;
    Form1& form = Loaded();

    EXPECT_TRUE(view.ended);
    EXPECT_TRUE(form.Ended());
    EXPECT_EQ(view.trace, std::vector<std::string>{"end"});
    EXPECT_EQ(store.Writes(), 0);
    EXPECT_TRUE(tray.notified.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(visioCheckTitle.empty());
}

TEST_F(Form1Test, FailingInstanceTestEndsThroughItsTrueBranch) {
    view.faults = {"PreviousInstanceRunning"};
    Loaded();

    EXPECT_EQ(
        dialogs.Reports(),
        (std::vector<std::pair<std::string, int>>{{"in Quorvel2021/08/31.Form1.Form_Load ", 100}}));
    EXPECT_TRUE(view.ended);
    EXPECT_EQ(store.Writes(), 0);
}

TEST_F(Form1Test, MissingDrawingApplicationEndsAndTakesTheIconAway) {
    visioInstalled = false;
    Form1& form = Loaded();

    EXPECT_TRUE(form.Ended());
    EXPECT_EQ(view.trace.back(), "end");
    EXPECT_EQ(view.timerInterval, 0);
    EXPECT_FALSE(form.cSysTray1().InTray());
    EXPECT_TRUE(tray.LastWas(nim::kDelete));
    EXPECT_TRUE(dialogs.shown.empty());  // the check shows its own message
}

// One failing operation during start-up: its report, and start-up carrying on to the end.
struct LoadFaultCase {
    const char* name;
    Faults viewFaults{};
    Faults fileFaults{};
    bool desktopRefused = false;
    bool pointerFilePresent = false;
    bool startInTray = false;
    std::vector<int> labels{};
};

void PrintTo(const LoadFaultCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadFaultTest : public Form1Test, public ::testing::WithParamInterface<LoadFaultCase> {};

TEST_P(LoadFaultTest, ReportsTheStepAndCarriesOn) {
    const LoadFaultCase& c = GetParam();
    view.faults = c.viewFaults;
    files.faults = c.fileFaults;
    shell.refuses = c.desktopRefused;
    if (c.pointerFilePresent)
        files.existing.insert(std::string(kProgramFolder) + "\\HAND-M.CUR");
    if (c.startInTray)
        store.Set("Minimized", "On");
    Form1& form = Loaded();

    EXPECT_EQ(dialogs.Labels(), c.labels);
    for (const auto& report : dialogs.Reports()) {
        EXPECT_EQ(report.first, "in Quorvel2021/08/31.Form1.Form_Load ");
    }
    EXPECT_FALSE(form.Ended());
    EXPECT_FALSE(form.LoadingSettings());
    EXPECT_EQ(form.HistoryLogPath(), "C:\\Temp\\Stenvault.txt");
    EXPECT_EQ(visioCheckTitle, "Stenvault");
}

INSTANTIATE_TEST_SUITE_P(
    StartUp, LoadFaultTest,
    ::testing::Values(LoadFaultCase{.name = "none"},
                      LoadFaultCase{.name = "pointerLoad",
                                    .viewFaults = {"LoadCustomPointer"},
                                    .pointerFilePresent = true,
                                    .labels = {114}},
                      // The skin looks beside the program too; a failing test runs the true branch,
                      // so the pointer load is tried and fails as well.
                      LoadFaultCase{.name = "programFolder",
                                    .viewFaults = {"LoadCustomPointer"},
                                    .fileFaults = {"ProgramFolder"},
                                    .labels = {104, 112, 114}},
                      LoadFaultCase{.name = "desktop", .desktopRefused = true, .labels = {136}},
                      LoadFaultCase{
                          .name = "rows",
                          .viewFaults = {"AddListRow"},
                          .labels = {150, 152, 154, 156, 158, 160, 162, 164, 166, 168, 172}},
                      LoadFaultCase{.name = "show", .viewFaults = {"Show"}, .labels = {200}},
                      LoadFaultCase{.name = "minimise",
                                    .viewFaults = {"SetWindowState"},
                                    .startInTray = true,
                                    .labels = {212}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Form1Test, StoredFolderShowsEvenWithoutDesktopFolder) {
    shell.refuses = true;
    store.Set("Path", "D:\\Backups");
    Loaded();
    EXPECT_EQ(view.folderText, "D:\\Backups");
    EXPECT_EQ(dialogs.Labels(), std::vector<int>{136});
}

TEST_F(Form1Test, PointerFileBecomesTheCustomPointer) {
    files.existing.insert(std::string(kProgramFolder) + "\\HAND-M.CUR");
    Loaded();
    EXPECT_EQ(view.customPointerFile, std::string(kProgramFolder) + "\\HAND-M.CUR");
}

TEST_F(Form1Test, NoPointerFileLoadsNothing) {
    Loaded();
    EXPECT_EQ(view.customPointerFile, "");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Form1Test, MinimiseHidesIntoTrayWithTheBalloonOnlyOnce) {
    Form1& form = Loaded();
    view.trace.clear();

    view.state = WindowState::Minimized;
    form.Form_Resize();
    EXPECT_EQ(view.trace, (std::vector<std::string>{"hidden", "normal"}));
    EXPECT_TRUE(form.HiddenToTray());
    EXPECT_EQ(tray.Balloons().size(), 1u);

    form.cSysTray1().RaiseTrayEvent(tray_code::kRButtonUp, 0);
    EXPECT_FALSE(form.HiddenToTray());
    EXPECT_TRUE(view.visible);

    view.state = WindowState::Minimized;
    form.Form_Resize();
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(form.HiddenToTray());
    EXPECT_EQ(tray.Balloons().size(), 1u);
}

TEST_F(Form1Test, ResizeInNormalStateDoesNothing) {
    Form1& form = Loaded();
    view.trace.clear();
    form.Form_Resize();
    EXPECT_TRUE(view.trace.empty());
    EXPECT_FALSE(form.HiddenToTray());
}

TEST_F(Form1Test, MouseUpDuringTheBalloonWaitRestoresTheWindow) {
    Form1& form = Loaded();
    tray.duringWait = [&] { form.cSysTray1().RaiseTrayEvent(tray_code::kLButtonUp, 0); };
    view.trace.clear();

    view.state = WindowState::Minimized;
    form.Form_Resize();

    EXPECT_EQ(view.trace, (std::vector<std::string>{"hidden", "normal", "visible", "focus"}));
    EXPECT_FALSE(form.HiddenToTray());
    EXPECT_TRUE(view.visible);
}

TEST_F(Form1Test, OtherTrayEventsLeaveTheWindowHidden) {
    Form1& form = Loaded();
    view.state = WindowState::Minimized;
    form.Form_Resize();
    for (int code : {tray_code::kMouseMove, tray_code::kLButtonDown, tray_code::kLButtonDblClk}) {
        form.cSysTray1().RaiseTrayEvent(code, 0);
    }
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(form.HiddenToTray());
}

TEST_F(Form1Test, CloseStopsTheTimerRemovesTheIconAndEnds) {
    Form1& form = Loaded();
    ASSERT_EQ(view.timerInterval, 1000);

    form.Form_QueryUnload();
    EXPECT_EQ(view.timerInterval, 0);
    EXPECT_FALSE(form.cSysTray1().InTray());
    EXPECT_TRUE(tray.LastWas(nim::kDelete));
    EXPECT_FALSE(view.ended);

    const int writes = store.Writes();
    form.Form_Unload();
    EXPECT_TRUE(view.ended);
    EXPECT_EQ(store.Writes(), writes);
    EXPECT_TRUE(dialogs.shown.empty());
}

// over: none for the window's own surface.
struct PointerCase {
    Pointer before;
    std::optional<Control> over;
    Pointer after;
};

class PointerTest : public Form1Test, public ::testing::WithParamInterface<PointerCase> {};

TEST_P(PointerTest, FollowsTheControlUnderThePointer) {
    view.pointer = GetParam().before;
    if (GetParam().over) {
        Form().MouseMove(*GetParam().over);
    } else {
        Form().Form_MouseMove();
    }
    EXPECT_EQ(view.pointer, GetParam().after);
}

// A control with no rule starts from the pointer neither rule sets, so a rule taken by
// mistake shows.
INSTANTIATE_TEST_SUITE_P(
    Feedback, PointerTest,
    ::testing::Values(PointerCase{Pointer::Default, Control::PushButton1, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton2, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton3, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton4, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton5, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton11, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::PushButton12, Pointer::Custom},
                      PointerCase{Pointer::Custom, std::nullopt, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Frame1, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Frame2, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Frame3, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::ListView1, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Text1, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Option1, Pointer::Custom},
                      PointerCase{Pointer::Custom, Control::Option2, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::Option3, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::Option4, Pointer::Custom},
                      PointerCase{Pointer::Custom, Control::Check5, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::Check8, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::ProgressBar1, Pointer::Custom},
                      PointerCase{Pointer::Default, Control::ProgressBar1, Pointer::Default},
                      PointerCase{Pointer::Custom, Control::RichTextBox1, Pointer::Custom},
                      PointerCase{Pointer::Busy, Control::PushButton4, Pointer::Busy},
                      PointerCase{Pointer::Busy, Control::Frame1, Pointer::Busy},
                      PointerCase{Pointer::Busy, std::nullopt, Pointer::Busy}));

TEST_F(Form1Test, BackupRunShowsBusyPointerAndRestoresIt) {
    Form1& form = Loaded();
    view.pointer = Pointer::Custom;

    form.PushButton2_Click();
    EXPECT_EQ(pointerDuringRun, std::vector<Pointer>{Pointer::Busy});
    EXPECT_EQ(view.pointer, Pointer::Custom);

    runFails = true;
    form.PushButton2_Click();
    EXPECT_EQ(view.pointer, Pointer::Custom);
    EXPECT_EQ(dialogs.Reports(), (std::vector<std::pair<std::string, int>>{
                                     {"in Quorvel2021/08/31.Form1.PushButton2_Click ", 100}}));
}

TEST_F(Form1Test, TimerStartsTheRunWhenTheIntervalIsReached) {
    store.Set("OftenIndex", "1");
    Form1& form = Loaded();
    for (int tick = 0; tick < 30; ++tick)
        form.Timer1_Timer();
    EXPECT_EQ(pointerDuringRun.size(), 1u);
    EXPECT_EQ(form.scheduler().ElapsedSeconds(), 0);
}

TEST_F(Form1Test, ToggleAndListClickGoThroughTheScheduler) {
    Form1& form = Loaded();
    form.PushButton4_Click();
    EXPECT_EQ(view.toggleCaption, "Turn On Backup Save");
    EXPECT_EQ(store.Value("StartStopState"), "Off");

    view.selectedRow = 7;
    form.ListView1_Click();
    EXPECT_EQ(store.Value("OftenIndex"), "7");
}

TEST_F(Form1Test, FolderButtonFillsTheFolderBox) {
    Form1& form = Loaded();
    dialogs.folderAnswer = "D:\\Backups";
    form.PushButton1_Click();

    ASSERT_EQ(dialogs.browses.size(), 1u);
    EXPECT_EQ(dialogs.browses[0],
              (std::pair<WindowHandle, std::string>{0x1234, "Please select folder:"}));
    EXPECT_EQ(view.folderText, "D:\\Backups");
    EXPECT_EQ(store.Value("Path"), "D:\\Backups");
}

TEST_F(Form1Test, FolderButtonCancelledOrFailingKeepsTheFolderBox) {
    Form1& form = Loaded();
    const std::string before = view.folderText;
    const int writes = store.Writes();

    form.PushButton1_Click();
    dialogs.browseFails = true;
    form.PushButton1_Click();

    EXPECT_EQ(view.folderText, before);
    EXPECT_EQ(store.Writes(), writes);
    EXPECT_EQ(dialogs.Reports(), (std::vector<std::pair<std::string, int>>{
                                     {"in Quorvel2021/08/31.Form1.PushButton1_Click ", 100}}));
}

TEST_F(Form1Test, HelpShowsTheContactAddress) {
    Form1& form = Loaded();
    form.PushButton11_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              "Questions? Please contact Team Veltrane at " + std::string(kContactPageUrl));
    EXPECT_EQ(dialogs.shown[0].title, "Stenvault");
    EXPECT_EQ(dialogs.shown[0].style, mb::kOk);
}

TEST_F(Form1Test, ViewWithoutLogSaysSoUnderTheApplicationTitle) {
    Form1& form = Loaded();
    form.PushButton3_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, kNoHistoryMessage);
    EXPECT_EQ(dialogs.shown[0].title, "Stenvault");
    EXPECT_TRUE(launcher.started.empty());
}

TEST_F(Form1Test, OptionAndBoxHandlersStoreWhatTheControlsShow) {
    Form1& form = Loaded();
    view.SelectOption(Option::Option2);
    form.Option2_Click();
    view.SelectOption(Option::Option4);
    form.Option4_Click();
    view.checks[1] = 1;
    form.Check8_Click();
    view.checks[2] = 1;
    form.Check9_Click();
    view.checks[3] = 1;
    form.Check10_Click();
    view.folderText = "E:\\half typed";
    form.Text1_Change();

    EXPECT_EQ(store.Value("WhereOption"), "2");
    EXPECT_EQ(store.Value("Backup Option"), "2");
    EXPECT_EQ(store.Value("Minimized"), "On");
    EXPECT_EQ(store.Value("Changed Only"), "On");
    EXPECT_EQ(store.Value("Thin Out"), "On");
    EXPECT_EQ(store.Value("Path"), "E:\\half typed");
    EXPECT_EQ(view.state, WindowState::Normal);  // start in tray applies at the next start

    view.checks[1] = 0;
    form.Check8_Click();
    view.checks[2] = 0;
    form.Check9_Click();
    view.checks[3] = 2;
    form.Check10_Click();
    view.folderText = "";
    form.Text1_Change();
    EXPECT_EQ(store.Value("Minimized"), "Off");
    EXPECT_EQ(store.Value("Changed Only"), "Off");
    EXPECT_EQ(store.Value("Thin Out"), "Off");
    EXPECT_EQ(store.Value("Path"), "");
}

TEST_F(Form1Test, StartupBoxWritesTheEntryAndClearingHidesStartInTray) {
    Form1& form = Loaded();
    view.checks[0] = 1;
    form.Check5_Click();
    EXPECT_TRUE(view.check8Visible);
    EXPECT_EQ(store.Value("Windows Startup"), "On");
    EXPECT_EQ(registry.values.count("sv.exe"), 1u);

    view.checks[1] = 1;
    form.Check8_Click();
    view.checks[0] = 0;
    form.Check5_Click();
    EXPECT_EQ(view.checks[1], 0);
    EXPECT_FALSE(view.check8Visible);
    EXPECT_EQ(store.Value("Minimized"), "Off");
    EXPECT_EQ(store.Value("Windows Startup"), "Off");
    EXPECT_TRUE(registry.values.empty());
}

TEST_F(Form1Test, FailingWriteInAHandlerIsReportedNotThrown) {
    Form1& form = Loaded();
    store.refuseWrites = true;
    view.folderText = "F:\\x";
    EXPECT_NO_THROW(form.Option1_Click());
    EXPECT_NO_THROW(form.Text1_Change());
    EXPECT_EQ(dialogs.Reports(), (std::vector<std::pair<std::string, int>>{
                                     {"in Quorvel2021/08/31.Form1.Option1_Click ", 0},
                                     {"in Quorvel2021/08/31.Form1.Text1_Change ", 0}}));
}

}  // namespace
}  // namespace sv
