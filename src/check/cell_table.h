#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "backup/page_copy.h"
#include "check/check_report.h"

namespace sv::check {

// The name the application gives the cell at a table entry's indices; throws Failure when it
// gives none.
using CellNameReader = std::function<std::string(const backup::PageCell&)>;

// Each entry's indices against its universal name: a line for every cell that is missing or
// named otherwise, or one passing line for the whole table.
std::vector<CheckLine> CheckCellIndices(std::span<const backup::PageCell> table,
                                        const CellNameReader& readName);

// "PageWidth (1, 10, 0)": a cell as a report names it.
std::string CellWithIndices(const backup::PageCell& cell);

}  // namespace sv::check
