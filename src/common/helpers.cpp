#include "common/helpers.h"

#include <string_view>

#include "common/failure.h"
#include "common/product.h"

namespace sv {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

bool FileExists(FileSystem& files, const std::string& path) {
    try {
        return files.Exists(path);
    } catch (...) {
        return false;
    }
}

std::string GetSpecialFolder(ShellFolders& shell, int folder) {
    return shell.SpecialFolderPath(folder).value_or("");
}

std::string GetDesktopFolder(ShellFolders& shell) {
    auto path = shell.SpecialFolderPath(kDesktopFolder);
    if (!path)
        throw Failure("Invalid procedure call or argument");
    return *path + "\\";
}

std::string CleanFileName(std::string_view text) {
    static constexpr std::string_view kRemoved = "$/\\*:?<>|#' .,\"()-+=%;}{\t";
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (kRemoved.find(c) == std::string_view::npos)
            result += c;
    }
    return result;
}

std::string DropLastWord(std::string_view name, std::string_view word) {
    std::size_t space = name.rfind(' ');
    if (space != std::string_view::npos &&
        (word.empty() || TrimBlanks(name.substr(space)) == word)) {
        return std::string(TrimBlanks(name.substr(0, space)));
    }
    return std::string(name);
}

std::string SetApplicationTitle(std::string_view productName) {
    std::string_view title = productName;
    // Cut the last word at least once, then while the title is too long; a name with no
    // space left to cut at stays as it is.
    do {
        std::size_t space = title.rfind(' ');
        if (space == std::string_view::npos)
            break;
        title = title.substr(0, space);
    } while (title.size() > 40);
    return std::string(title);
}

void MaybeOpenHomePage(RandomSource& random, Launcher& launcher) {
    const int n = static_cast<int>(random.SeededDraw() * 100) + 1;
    if (n != 7)
        return;
    launcher.Start("explorer \"" + std::string(kHomePageUrl) + "\"", WindowShow::MinimizedFocused);
}

void ApplySkin(FileSystem& files, SkinHost& host) {
    const std::string path = files.ProgramFolder() + kSkinFileName;
    if (!files.IsOrdinaryFile(path))
        return;
    host.SetButtonFaceBackground();
    host.LoadSkin(path, "");
    host.SetSkinOptions(host.SkinOptions() | 1);
    host.SetSkinFlag(5, true);
    host.SetSkinFlag(10, true);
    host.ApplyToWindow();
}

}  // namespace sv
