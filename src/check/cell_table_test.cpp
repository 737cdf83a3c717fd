#include "check/cell_table.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <tuple>

#include "common/failure.h"

namespace sv::check {
namespace {

using backup::PageCell;

// The application's side: the universal name at each index triple of the program's table.
std::string NameAt(const PageCell& cell) {
    static const auto names = [] {
        std::map<std::tuple<int, int, int>, std::string> map;
        for (const PageCell& c : backup::kPageCells) {
            map[{c.section, c.row, c.cell}] = std::string(c.name);
        }
        return map;
    }();
    auto it = names.find({cell.section, cell.row, cell.cell});
    if (it == names.end()) {
        throw Failure("Unexpected end of file.");
    }
    return it->second;
}

TEST(CheckCellIndicesTest, TheProgramsTablePasses) {
    auto lines = CheckCellIndices(backup::kPageCells, NameAt);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].outcome, Outcome::Pass);
}

TEST(CheckCellIndicesTest, SwappedIndicesNameBothCellsWithBothNames) {
    auto table = backup::kPageCells;
    std::swap(table[0].cell, table[3].cell);  // PageWidth and PageHeight
    auto lines = CheckCellIndices(table, NameAt);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].outcome, Outcome::Fail);
    EXPECT_EQ(lines[0].member, "Cell.Name");
    EXPECT_EQ(lines[0].reason,
              "PageWidth (1, 10, 1): the program expects \"PageWidth\", Visio names it "
              "\"PageHeight\"");
    EXPECT_EQ(lines[1].reason,
              "PageHeight (1, 10, 0): the program expects \"PageHeight\", Visio names it "
              "\"PageWidth\"");
}

TEST(CheckCellIndicesTest, IndicesWithNoCellNameTheCellAndWhy) {
    std::array<PageCell, 2> table = {{{"PageWidth", 1, 10, 0}, {"PlowCode", 1, 24, 99}}};
    auto lines = CheckCellIndices(table, NameAt);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].outcome, Outcome::Fail);
    EXPECT_EQ(lines[0].member, "Shape.CellsSRC");
    EXPECT_EQ(lines[0].reason, "PlowCode (1, 24, 99): no cell there (Unexpected end of file.)");
}

TEST(CheckCellIndicesTest, AMemberMissingForEveryCellIsOneLine) {
    auto lines = CheckCellIndices(
        backup::kPageCells, [](const PageCell&) -> std::string { throw Failure("Unknown name."); });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].reason, "every one of the 43 page cells: no cell there (Unknown name.)");
}

}  // namespace
}  // namespace sv::check
