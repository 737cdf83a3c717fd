#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/system.h"

namespace sv {

// True when something of that name exists, a folder included; any problem reads as false.
bool FileExists(FileSystem& files, const std::string& path);

// The shell's special folders (0 is the desktop).
class ShellFolders {
  public:
    virtual ~ShellFolders() = default;
    // The folder's file-system path; nothing when the shell refuses.
    virtual std::optional<std::string> SpecialFolderPath(int folder) = 0;
};

inline constexpr int kDesktopFolder = 0;

// The folder's path, or the empty text when the shell refuses.
std::string GetSpecialFolder(ShellFolders& shell, int folder);

// The desktop folder with a trailing "\". Throws Failure when the shell cannot name it.
std::string GetDesktopFolder(ShellFolders& shell);

// The text without any of the 25 characters that do not belong in a file's base name.
std::string CleanFileName(std::string_view text);

// The name without its last word when that word (blanks trimmed) equals word, or when word is
// empty; otherwise the name unchanged.
std::string DropLastWord(std::string_view name, std::string_view word);

// The application title: the name with its last word dropped, and again while it is longer
// than 40 characters. A name without a space stays whole.
std::string SetApplicationTitle(std::string_view productName);

// At about one start in a hundred, opens the maker's home page in the browser (minimised,
// not waited for). A failure to start it throws.
void MaybeOpenHomePage(RandomSource& random, Launcher& launcher);

// The main window's side of the optional skin.
class SkinHost {
  public:
    virtual ~SkinHost() = default;
    // Window, option buttons, check boxes, frames and labels get the button-face colour.
    virtual void SetButtonFaceBackground() = 0;
    // The skin component's calls, in the order ApplySkin makes them.
    virtual void LoadSkin(const std::string& path, const std::string& iniName) = 0;
    virtual std::int32_t SkinOptions() = 0;  // property 1
    virtual void SetSkinOptions(std::int32_t options) = 0;
    virtual void SetSkinFlag(int property, bool value) = 0;  // properties 5 and 10
    virtual void ApplyToWindow() = 0;
};

// The skin file's path relative to the program folder.
inline constexpr char kSkinFileName[] = "\\x\\o.cjs";

// Applies the skin file beside the program when it is an ordinary file; otherwise nothing.
void ApplySkin(FileSystem& files, SkinHost& host);

}  // namespace sv
