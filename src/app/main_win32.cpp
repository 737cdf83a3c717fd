#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <string>

#include "app/form1.h"
#include "app/main_window_win32.h"
#include "app/res/resource.h"
#include "backup/clipboard_win32.h"
#include "backup/dispatch_client_win32.h"
#include "backup/save_all.h"
#include "common/com_win32.h"
#include "common/product.h"
#include "common/system_win32.h"
#include "common/text_win32.h"
#include "platform/startup_entry_win32.h"
#include "platform/sys_tray_win32.h"
#include "settings/registry_settings_store_win32.h"

namespace {

using namespace sv;
using namespace sv::win32;

// The backup run reads the window's choices live, at the moment it needs each one.
class WindowChoices : public backup::BackupChoices {
  public:
    explicit WindowChoices(FormView& view) : view_(view) {}
    bool SameFolderSelected() override { return view_.OptionSelected(Option::Option2); }
    bool FixedFolderSelected() override { return view_.OptionSelected(Option::Option1); }
    std::string FolderText() override { return view_.FolderText(); }
    backup::NamingMode Naming() override {
        if (view_.OptionSelected(Option::Option3)) {
            return backup::NamingMode::NewFile;
        }
        if (view_.OptionSelected(Option::Option4)) {
            return backup::NamingMode::Overwrite;
        }
        return backup::NamingMode::None;
    }
    WindowHandle Owner() override { return view_.Handle(); }
    bool ChangedOnlySelected() override { return view_.CheckValue(CheckBox::Check9) == 1; }
    bool ThinOutSelected() override { return view_.CheckValue(CheckBox::Check10) == 1; }

  private:
    FormView& view_;
};

int Run(HINSTANCE instance) {
    ComApartment com;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&controls);

    RegistrySettingsStore settings;
    Win32Clock clock;
    Win32Locale locale;
    Win32FileSystem files;
    Win32Launcher launcher;
    Win32Random random;
    Win32Environment environment;
    Win32ShellFolders shellFolders;
    Win32Registry registry;
    Win32TrayShell trayShell;
    trayShell.UseIconResource(instance, IDI_STENVAULT);
    backup::win32::DispatchLink link;

    MainWindow window(instance);
    // Runs copy pages through the clipboard; what the user had copied is put back after each.
    backup::win32::Win32ClipboardKeeper clipboard;
    WindowChoices choices(window);
    Form1* form = nullptr;
    // The log's path and the extension are read at each run, as start-up has left them.
    backup::BackupEngine engine(link, window.Dialogs(), choices, clock, locale, files, clipboard,
                                backup::LiveText([&] { return form->HistoryLogPath(); }),
                                backup::LiveText([&] { return form->BackupExtension(); }));

    // What the window's ending needs of the run in progress.
    class EngineRun : public RunInProgress {
      public:
        explicit EngineRun(backup::BackupEngine& engine) : engine_(engine) {}
        bool Running() override { return engine_.Running(); }
        std::string DocumentName() override { return engine_.DocumentName(); }
        void Abandon() override { engine_.Abandon(); }

      private:
        backup::BackupEngine& engine_;
    } run(engine);
    window.WatchRun(run);

    Form1Services services{
        settings,
        window.Dialogs(),
        files,
        launcher,
        random,
        environment,
        shellFolders,
        trayShell,
        [&](RunCause cause) {
            engine.SaveAll(cause);
            window.RunReturned();
        },
        [&](const std::string& appTitle) {
            return backup::CheckVisioInstalled(link, window.Dialogs(), appTitle);
        },
        registry,
        RunningExecutablePath(),
    };
    Form1 form1(window, std::move(services));
    form = &form1;
    MainWindow::Attachment attached(window, form1);
    form1.Form_Load();
    return window.RunMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Libraries loaded from here on come from the system folder only: a per-user install's
    // folder is writable by the user, and a library dropped there must never stand in for a
    // system one.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    try {
        return Run(instance);
    } catch (const std::exception& e) {
        ::MessageBoxW(nullptr, Widen(e.what()).c_str(), Widen(kProductName).c_str(),
                      MB_OK | MB_ICONERROR);
    }
    return 1;
}
