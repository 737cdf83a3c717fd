#pragma once

#include <string>

#include "backup/save_all.h"

namespace sv::backup::testing {

// The window's choices as plain fields: a fixed folder and a new file every time unless set.
struct FakeChoices : BackupChoices {
    bool SameFolderSelected() override { return same; }
    bool FixedFolderSelected() override { return fixed; }
    std::string FolderText() override { return folder; }
    NamingMode Naming() override { return mode; }
    WindowHandle Owner() override { return owner; }

    bool same = false;
    bool fixed = true;
    std::string folder = "D:\\Backups";
    NamingMode mode = NamingMode::NewFile;
    WindowHandle owner = 4242;
};

}  // namespace sv::backup::testing
