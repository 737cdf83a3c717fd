#include "setup_actions.h"

#include <cctype>

namespace sv {
namespace {

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x < 0x80 && y < 0x80 ? std::tolower(x) != std::tolower(y) : x != y) {
            return false;
        }
    }
    return true;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<SetupCommand> ParseSetupCommand(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[1].empty()) {
        return std::nullopt;
    }
    SetupCommand command;
    command.program = args[1];
    if (args[0] == "close" && args.size() <= 3) {
        command.action = SetupCommand::Action::Close;
        // UILevel 2 is no UI and 3 basic UI (progress only); only reduced and full UI may ask.
        command.quiet = args.size() < 3 || args[2].empty() || args[2] == "2" || args[2] == "3";
        return command;
    }
    if (args[0] == "forget-startup" && args.size() == 4 && !args[3].empty()) {
        command.action = SetupCommand::Action::ForgetStartup;
        command.upgradeCode = args[2];
        command.removedProduct = args[3];
        return command;
    }
    return std::nullopt;
}

bool AnotherVersionStays(const std::vector<std::string>& installedProducts,
                         std::string_view removedProduct) {
    for (const std::string& product : installedProducts) {
        if (!SameIgnoringAsciiCase(product, removedProduct)) {
            return true;
        }
    }
    return false;
}

bool RunDataStarts(std::string_view runData, std::string_view program) {
    std::string_view data = TrimSpaces(runData);
    if (program.empty() || data.empty()) {
        return false;
    }
    if (data.front() == '"') {
        auto close = data.find('"', 1);
        return close != std::string_view::npos &&
               SameIgnoringAsciiCase(data.substr(1, close - 1), program);
    }
    // Unquoted: the whole text, or the program followed by arguments.
    if (data.size() > program.size() && data[program.size()] != ' ' &&
        data[program.size()] != '\t') {
        return false;
    }
    return SameIgnoringAsciiCase(data.substr(0, program.size()), program);
}

}  // namespace sv
