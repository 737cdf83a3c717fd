#include "check/cell_table.h"

#include <algorithm>
#include <exception>

namespace sv::check {

std::string CellWithIndices(const backup::PageCell& cell) {
    return std::string(cell.name) + " (" + std::to_string(cell.section) + ", " +
           std::to_string(cell.row) + ", " + std::to_string(cell.cell) + ")";
}

std::vector<CheckLine> CheckCellIndices(std::span<const backup::PageCell> table,
                                        const CellNameReader& readName) {
    std::vector<CheckLine> lines;
    for (const backup::PageCell& cell : table) {
        try {
            std::string name = readName(cell);
            if (name != cell.name) {
                lines.push_back({Outcome::Fail, "Cell.Name",
                                 CellWithIndices(cell) + ": the program expects \"" +
                                     std::string(cell.name) + "\", Visio names it \"" + name +
                                     "\""});
            }
        } catch (const std::exception& e) {
            lines.push_back({Outcome::Fail, "Shape.CellsSRC",
                             CellWithIndices(cell) + ": no cell there (" + e.what() + ")"});
        }
    }
    // A member the application lacks fails alike for every cell: one line says it.
    if (lines.size() == table.size() && lines.size() > 1 &&
        std::all_of(lines.begin(), lines.end(), [&](const CheckLine& line) {
            return line.member == "Shape.CellsSRC" &&
                   line.reason.substr(line.reason.find(':')) ==
                       lines[0].reason.substr(lines[0].reason.find(':'));
        })) {
        lines.resize(1);
        lines[0].reason = "every one of the " + std::to_string(table.size()) + " page cells" +
                          lines[0].reason.substr(lines[0].reason.find(':'));
    }
    if (lines.empty()) {
        lines.push_back({Outcome::Pass, "Shape.CellsSRC",
                         "all " + std::to_string(table.size()) +
                             " page cells sit at the program's indices under their universal "
                             "names"});
    }
    return lines;
}

}  // namespace sv::check
