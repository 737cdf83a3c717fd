#pragma once

#include <string>

#include "backup/save_all.h"

namespace sv::backup::testing {

// Which of the two folder option buttons is selected: never both, as in the window.
enum class Where { SameFolder, FixedFolder, Neither };

// The window's choices as plain fields: a fixed folder and a new file every time unless set.
struct FakeChoices : BackupChoices {
    bool SameFolderSelected() override { return where == Where::SameFolder; }
    bool FixedFolderSelected() override { return where == Where::FixedFolder; }
    std::string FolderText() override { return folder; }
    NamingMode Naming() override { return mode; }
    WindowHandle Owner() override { return owner; }
    bool ChangedOnlySelected() override { return changedOnly; }
    bool ThinOutSelected() override { return thinOut; }

    Where where = Where::FixedFolder;
    std::string folder = "D:\\Backups";
    NamingMode mode = NamingMode::NewFile;
    WindowHandle owner = 4242;
    bool changedOnly = false;
    bool thinOut = false;
};

}  // namespace sv::backup::testing
