#pragma once

#include <string>
#include <vector>

#include "backup/testing/fakes.h"

namespace sv::backup::testing {

// The error reports shown, as "Procedure:label" ("SaveAll:162", "CopyPage:132").
inline std::vector<std::string> Reports(const RecordingDialogs& dialogs) {
    std::vector<std::string> out;
    for (const ShownMessage& m : dialogs.messages) {
        const std::string marker = "at line ";
        std::size_t at = m.text.find(marker);
        std::size_t module = m.text.find("SaveVisio.");
        if (at == std::string::npos || module == std::string::npos) {
            out.push_back("?" + m.text);
            continue;
        }
        std::size_t nameStart = module + 10;
        std::string procedure = m.text.substr(nameStart, m.text.find(' ', nameStart) - nameStart);
        std::size_t end = m.text.find('\r', at);
        out.push_back(procedure + ":" +
                      m.text.substr(at + marker.size(), end - at - marker.size()));
    }
    return out;
}

}  // namespace sv::backup::testing
