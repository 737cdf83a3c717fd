#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

// What the installer asks of its helper, stenvault-setup.exe, before it replaces or removes
// the program:
//   close "<installed exe>" <UILevel>    ends a running copy of the installed program
//   forget-startup "<installed exe>" <UpgradeCode> <ProductCode>
//                                        removes the Run values that start that copy, unless
//                                        another version of the product stays installed
struct SetupCommand {
    enum class Action { Close, ForgetStartup };
    Action action = Action::Close;
    std::string program;
    // No question may be put to the user: a silent or basic-UI installation.
    bool quiet = true;
    std::string upgradeCode;
    std::string removedProduct;
};

// The arguments after the helper's own name; nullopt for anything it does not understand.
std::optional<SetupCommand> ParseSetupCommand(const std::vector<std::string>& args);

// True when a product other than the one being removed is installed: a newer version that
// replaces this one in the same folder, whose program still needs the Run value.
bool AnotherVersionStays(const std::vector<std::string>& installedProducts,
                         std::string_view removedProduct);

// True when a Run value's data starts this program: the program's path, quoted or not, maybe
// followed by arguments. Windows paths compare without regard to ASCII case.
bool RunDataStarts(std::string_view runData, std::string_view program);

// Exit codes Windows Installer knows: 1602 the user said no, 1603 a fatal error.
inline constexpr int kSetupUserExit = 1602;
inline constexpr int kSetupFailed = 1603;

}  // namespace sv
