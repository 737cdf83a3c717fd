#include "app/form1.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "app/window_layout.h"
#include "common/error_report.h"
#include "common/product.h"
#include "history/history_log.h"

namespace sv {
namespace {

constexpr char kLocationPrefix[] = "in Quorvel2021/08/31.Form1.";

std::string Location(std::string_view procedure) {
    std::string location = kLocationPrefix;
    location += procedure;
    location += ' ';
    return location;
}

std::string Setting(SettingsStore& store, const std::string& key,
                    const std::string& defaultValue = "") {
    return GetSetting(store, kSettingsApp, kSettingsSection, key, defaultValue);
}

void Store(SettingsStore& store, const std::string& key, const std::string& value) {
    SaveSetting(store, kSettingsApp, kSettingsSection, key, value);
}

// The check boxes that keep their state in a key of their own, "On" when set and "Off" in every
// other state, in the order start-up applies them.
struct StoredCheck {
    CheckBox box;
    const char* key;
};
constexpr StoredCheck kStoredChecks[] = {
    {CheckBox::Check8, "Minimized"},
    {CheckBox::Check9, "Changed Only"},
    {CheckBox::Check10, "Thin Out"},
};

// Frames, the list and the text box show the ordinary pointer, as the window itself does.
bool IsPlainSurface(ControlKind kind) {
    return kind == ControlKind::Frame || kind == ControlKind::List || kind == ControlKind::TextBox;
}

// Puts the window pointer back however the backup run ends.
class PointerRestore {
  public:
    PointerRestore(FormView& view, Pointer previous) : view_(view), previous_(previous) {}
    ~PointerRestore() {
        // A pointer that cannot be set back is not worth ending the program for.
        try {
            view_.SetMousePointer(previous_);
        } catch (...) {
        }
    }
    PointerRestore(const PointerRestore&) = delete;
    PointerRestore& operator=(const PointerRestore&) = delete;

  private:
    FormView& view_;
    Pointer previous_;
};

}  // namespace

Form1::Form1(FormView& view, Form1Services services)
    : view_(view),
      services_(std::move(services)),
      scheduler_(view, services_.settings, services_.dialogs,
                 [this](RunCause cause) { RunBackup(cause); }),
      tray_(services_.trayShell),
      appTitle_(kProductName) {
    tray_.Events().MouseUp = [this](std::int16_t, std::int32_t) { cSysTray1_MouseUp(); };
}

// Handlers without labelled statements of their own still must not let a failure reach the
// window procedure: it is reported like any other, at line 0.
template <class Body>
void Form1::Guarded(std::string_view procedure, Body&& body) {
    Procedure proc(services_.dialogs, Location(procedure));
    proc.Do(0, std::forward<Body>(body));
}

void Form1::Form_Load() {
    Procedure proc(services_.dialogs, Location("Form_Load"));
    SettingsStore& settings = services_.settings;

    if (proc.If(100, [&] { return view_.PreviousInstanceRunning(); })) {
        proc.Do(102, [&] { End(); });
        return;
    }
    proc.Do(104, [&] { ApplySkin(services_.files, view_.Skin()); });
    proc.Do(108, [&] { backupExtension_ = kBackupExtensionText; });
    proc.Do(110, [&] { loadingSettings_ = true; });

    std::string pointerFile;
    if (proc.If(112, [&] {
            pointerFile = services_.files.ProgramFolder() + kPointerFileName;
            return FileExists(services_.files, pointerFile);
        })) {
        proc.Do(114, [&] { view_.LoadCustomPointer(pointerFile); });
    }
    proc.Do(116, [&] { MaybeOpenHomePage(services_.random, services_.launcher); });

    proc.Do(134, [&] { view_.SetCaption(std::string(kProductName)); });
    proc.Do(134, [&] { view_.SetApplicationIcon(); });
    proc.Do(134, [&] { appTitle_ = SetApplicationTitle(kProductName); });

    // Without a desktop folder the stored folder is still shown; only its default is missing.
    std::string desktop;
    proc.Do(136, [&] { desktop = GetDesktopFolder(services_.shellFolders); });
    proc.Do(136, [&] {
        const std::string path = Setting(settings, "Path", desktop);
        if (path != view_.FolderText()) {
            view_.SetFolderText(path);
            StorePath();
        }
    });

    std::string whereOption;
    proc.Do(138, [&] { whereOption = Setting(settings, "WhereOption", "1"); });
    if (proc.If(140, [&] { return whereOption == "1"; })) {
        proc.Do(142, [&] { SelectOption(Option::Option1); });
    } else {
        proc.Do(144, [&] { SelectOption(Option::Option2); });
    }

    proc.Do(146, [&] { view_.AddListColumn(kIntervalColumnHeading, kIntervalColumnWidthTwips); });
    for (std::size_t row = 0; row < kIntervalRows.size(); ++row) {
        proc.Do(150 + 2 * static_cast<int>(row),
                [&] { view_.AddListRow(std::string(kIntervalRows[row])); });
    }

    // A value that does not convert leaves 0, which the selection then refuses as well.
    int oftenIndex = 0;
    proc.Do(170, [&] { oftenIndex = ToInteger16(Setting(settings, kOftenIndexKey, "3")); });
    proc.Do(172, [&] { view_.SelectListRow(oftenIndex); });

    std::string startStop;
    proc.Do(174, [&] { startStop = Setting(settings, kStartStopStateKey, "On"); });
    if (proc.If(176, [&] { return startStop == "Off"; })) {
        proc.Do(178, [&] { view_.SetToggleCaption(kCaptionTurnOn); });
        proc.Do(180, [&] { view_.SetStatus(kStatusTurnedOff); });
        proc.Do(182, [&] { view_.SetTimerInterval(0); });
    } else if (proc.If(184, [&] { return startStop == "On"; })) {
        proc.Do(186, [&] { view_.SetToggleCaption(kCaptionTurnOff); });
        proc.Do(188, [&] { view_.SetTimerInterval(1000); });
    }

    if (proc.If(190, [&] { return NumericValue(Setting(settings, "Backup Option")) == 1; })) {
        proc.Do(192, [&] { SelectOption(Option::Option3); });
    } else if (proc.If(194,
                       [&] { return NumericValue(Setting(settings, "Backup Option")) == 2; })) {
        proc.Do(196, [&] { SelectOption(Option::Option4); });
    } else {
        proc.Do(198, [&] { SelectOption(Option::Option3); });
    }

    proc.Do(200, [&] { view_.Show(); });
    proc.Do(202, [&] { tray_.SetInTray(true); });
    proc.Do(204, [&] { tray_.SetTrayTip(std::string(kProductName)); });
    proc.Do(204, [&] { view_.SetApplicationIcon(); });
    proc.Do(206, [&] {
        ApplyCheck(CheckBox::Check5, Setting(settings, "Windows Startup", "Off") == "On" ? 1 : 0);
    });
    for (const StoredCheck& check : kStoredChecks) {
        proc.Do(208, [&] {
            ApplyCheck(check.box, Setting(settings, check.key, "Off") == "On" ? 1 : 0);
        });
    }
    if (proc.If(210, [&] { return view_.CheckValue(CheckBox::Check8) == 1; })) {
        proc.Do(212, [&] {
            view_.SetWindowState(WindowState::Minimized);
            Minimize();
        });
    }
    proc.Do(212, [&] { historyLogPath_ = sv::HistoryLogPath(services_.environment); });
    proc.Do(214, [&] { loadingSettings_ = false; });
    proc.Do(216, [&] {
        if (!services_.checkVisioInstalled(appTitle_)) {
            // The icon is already in the tray: take it out rather than leave a dead one.
            view_.SetTimerInterval(0);
            tray_.SetInTray(false);
            End();
        }
    });
}

void Form1::Form_QueryUnload() {
    Procedure proc(services_.dialogs, Location("Form_QueryUnload"));
    proc.Do(100, [&] { view_.SetTimerInterval(0); });
    proc.Do(102, [&] { tray_.SetInTray(false); });
}

void Form1::Form_Unload() {
    End();
}

void Form1::End() {
    ended_ = true;
    view_.EndProgram();
}

void Form1::Form_Resize() {
    Guarded("Form_Resize", [&] { Minimize(); });
}

void Form1::Minimize() {
    if (view_.GetWindowState() != WindowState::Minimized || hiddenToTray_)
        return;
    view_.SetVisible(false);
    view_.SetWindowState(WindowState::Normal);
    hiddenToTray_ = true;
    tray_.ShowBalloon(kBalloonText, std::string(kProductName), 5, true);
}

void Form1::cSysTray1_MouseUp() {
    Guarded("cSysTray1_MouseUp", [&] {
        view_.SetVisible(true);
        view_.Focus();
        hiddenToTray_ = false;
    });
}

void Form1::Option1_Click() {
    Guarded("Option1_Click", [&] { StoreOption(Option::Option1); });
}
void Form1::Option2_Click() {
    Guarded("Option2_Click", [&] { StoreOption(Option::Option2); });
}
void Form1::Option3_Click() {
    Guarded("Option3_Click", [&] { StoreOption(Option::Option3); });
}
void Form1::Option4_Click() {
    Guarded("Option4_Click", [&] { StoreOption(Option::Option4); });
}

void Form1::SelectOption(Option option) {
    view_.SelectOption(option);
    StoreOption(option);
}

void Form1::StoreOption(Option option) {
    switch (option) {
        case Option::Option1:
            Store(services_.settings, "WhereOption", "1");
            break;
        case Option::Option2:
            Store(services_.settings, "WhereOption", "2");
            break;
        case Option::Option3:
            Store(services_.settings, "Backup Option", "1");
            break;
        case Option::Option4:
            Store(services_.settings, "Backup Option", "2");
            break;
    }
}

void Form1::Check5_Click() {
    Guarded("Check5_Click", [&] { HandleCheck5(); });
}

void Form1::HandleCheck5() {
    // Check8's own click runs when the start-up box clears it.
    class Check8Side : public StartupOptionView {
      public:
        explicit Check8Side(Form1& form) : form_(form) {}
        void SetCheck8Visible(bool visible) override { form_.view_.SetCheck8Visible(visible); }
        void ClearCheck8() override { form_.ApplyCheck(CheckBox::Check8, 0); }

      private:
        Form1& form_;
    } side(*this);
    Check5Click(loadingSettings_, view_.CheckValue(CheckBox::Check5) == 1, side, services_.settings,
                services_.registry, services_.executablePath);
}

void Form1::Check8_Click() {
    Guarded("Check8_Click", [&] { StoreCheck(CheckBox::Check8); });
}

void Form1::Check9_Click() {
    Guarded("Check9_Click", [&] { StoreCheck(CheckBox::Check9); });
}

void Form1::Check10_Click() {
    Guarded("Check10_Click", [&] { StoreCheck(CheckBox::Check10); });
}

void Form1::StoreCheck(CheckBox box) {
    for (const StoredCheck& check : kStoredChecks) {
        if (check.box == box) {
            Store(services_.settings, check.key, view_.CheckValue(box) == 1 ? "On" : "Off");
        }
    }
}

// A check box raises its click only when its value really changes.
void Form1::ApplyCheck(CheckBox box, int value) {
    if (view_.CheckValue(box) == value)
        return;
    view_.SetCheckValue(box, value);
    if (box == CheckBox::Check5) {
        HandleCheck5();
    } else {
        StoreCheck(box);
    }
}

void Form1::Text1_Change() {
    Guarded("Text1_Change", [&] { StorePath(); });
}

void Form1::StorePath() {
    Store(services_.settings, "Path", view_.FolderText());
}

void Form1::PushButton1_Click() {
    Procedure proc(services_.dialogs, Location("PushButton1_Click"));
    std::string folder;
    proc.Do(100,
            [&] { folder = services_.dialogs.BrowseForFolder(view_.Handle(), kBrowseTitle, ""); });
    if (proc.If(102, [&] { return folder.empty(); }))
        return;
    proc.Do(104, [&] {
        view_.SetFolderText(folder);
        StorePath();
    });
}

void Form1::PushButton2_Click() {
    Guarded("PushButton2_Click", [&] { scheduler_.TestRun(); });
}

void Form1::PushButton4_Click() {
    Guarded("PushButton4_Click", [&] { scheduler_.Toggle(); });
}

void Form1::ListView1_Click() {
    Guarded("ListView1_Click", [&] { scheduler_.ListClick(); });
}

void Form1::Timer1_Timer() {
    Guarded("Timer1_Timer", [&] { scheduler_.Tick(); });
}

void Form1::RunBackup(RunCause cause) {
    PointerRestore restore(view_, view_.MousePointer());
    view_.SetMousePointer(Pointer::Busy);
    services_.saveAll(cause);
}

HistoryActions Form1::History() {
    return HistoryActions(
        services_.files, services_.dialogs, services_.launcher, view_.HistoryBuffer(),
        [this] { view_.PumpEvents(); }, historyLogPath_, appTitle_);
}

void Form1::PushButton3_Click() {
    Guarded("PushButton3_Click", [&] { History().View(); });
}

void Form1::PushButton5_Click() {
    Guarded("PushButton5_Click", [&] { History().Copy(); });
}

void Form1::PushButton12_Click() {
    Guarded("PushButton12_Click", [&] { History().Clear(); });
}

void Form1::PushButton11_Click() {
    Procedure proc(services_.dialogs, Location("PushButton11_Click"));
    proc.Do(100, [&] {
        services_.dialogs.ShowMessage(
            std::string(kHelpMessagePrefix) + std::string(kContactPageUrl), appTitle_, mb::kOk);
    });
}

void Form1::MouseMove(Control over) {
    Guarded("MouseMove", [&] {
        if (view_.MousePointer() == Pointer::Busy)
            return;
        const ControlKind kind = LayoutOf(over).kind;
        if (kind == ControlKind::PushButton) {
            view_.SetMousePointer(Pointer::Custom);
        } else if (IsPlainSurface(kind)) {
            view_.SetMousePointer(Pointer::Default);
        }
    });
}

void Form1::Form_MouseMove() {
    Guarded("Form_MouseMove", [&] {
        if (view_.MousePointer() != Pointer::Busy)
            view_.SetMousePointer(Pointer::Default);
    });
}

}  // namespace sv
