#include "standin/model.h"

#include <gtest/gtest.h>

#include "common/failure.h"
#include "standin/text.h"

namespace sv::standin {
namespace {

TEST(Session, NewDrawingsAreNumberedAndActive) {
    Session session;
    EXPECT_EQ(session.ActiveDocument(), nullptr);
    auto first = session.AddDrawing();
    auto second = session.AddDrawing();
    EXPECT_EQ(first->name(), "Drawing1");
    EXPECT_EQ(second->name(), "Drawing2");
    EXPECT_EQ(second->path(), "");
    ASSERT_EQ(second->pages().size(), 1u);
    EXPECT_EQ(second->pages()[0]->name, "Page-1");
    EXPECT_EQ(session.ActiveDocument(), second);
    EXPECT_EQ(session.ActiveWindow()->page, second->pages()[0]);

    session.Activate(first);
    EXPECT_EQ(session.ActiveDocument(), first);
    session.Close(first);
    EXPECT_EQ(session.ActiveDocument(), second);
    session.Close(second);
    EXPECT_EQ(session.ActiveWindow(), nullptr);
    // Numbers are not reused within a process.
    EXPECT_EQ(session.AddDrawing()->name(), "Drawing3");
}

TEST(Document, AddedPagesSkipNamesInUseAndMarkChanges) {
    Document document("Drawing1");
    document.AddPage();
    document.MarkSaved();
    document.pages()[0]->name = "Page-2";
    auto added = document.AddPage();
    EXPECT_EQ(added->name, "Page-3");
    EXPECT_FALSE(document.saved());
    EXPECT_NE(added->id, document.pages()[0]->id);
    EXPECT_EQ(document.FindPage("page-3"), added);
}

TEST(Document, LocationSplitsFolderAndName) {
    Document document("Drawing1");
    document.SetLocation("C:\\Plans\\Site plan.vsd");
    EXPECT_EQ(document.path(), "C:\\Plans\\");
    EXPECT_EQ(document.name(), "Site plan.vsd");
    EXPECT_EQ(document.FullName(), "C:\\Plans\\Site plan.vsd");
}

TEST(PageSheet, HoldsEveryPageCellWithLetterDefaults) {
    PageSheet sheet;
    EXPECT_EQ(sheet.cells().size(), 43u);
    EXPECT_DOUBLE_EQ(sheet.Get("pagewidth").value, 8.5);
    EXPECT_DOUBLE_EQ(sheet.Get("PageHeight").value, 11);
    EXPECT_DOUBLE_EQ(sheet.Get("DrawingScale").value, 1);
    try {
        sheet.Get("NoSuchCell");
        FAIL() << "unknown cell accepted";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "Cell 'NoSuchCell' does not exist.");
    }
}

struct FormulaCase {
    const char* text;
    double inches;
};

class CellFormula : public testing::TestWithParam<FormulaCase> {};

TEST_P(CellFormula, ReadsNumbersWithUnits) {
    PageSheet sheet;
    Cell& cell = sheet.Get("PageWidth");
    cell.SetFormula(GetParam().text);
    EXPECT_NEAR(cell.value, GetParam().inches, 1e-9);
    EXPECT_EQ(cell.Formula(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Units, CellFormula,
                         testing::Values(FormulaCase{"11", 11}, FormulaCase{"8.5 in", 8.5},
                                         FormulaCase{"2 ft", 24}, FormulaCase{"25.4 mm", 1},
                                         FormulaCase{"=3.5in", 3.5}, FormulaCase{"-0.25", -0.25},
                                         FormulaCase{"72 pt", 1}));

class BadFormula : public testing::TestWithParam<const char*> {};

TEST_P(BadFormula, IsRefusedAndLeavesTheCell) {
    PageSheet sheet;
    Cell& cell = sheet.Get("PageWidth");
    EXPECT_THROW(cell.SetFormula(GetParam()), Failure);
    EXPECT_DOUBLE_EQ(cell.value, 8.5);
    EXPECT_EQ(cell.Formula(), "8.5 in");
}

INSTANTIATE_TEST_SUITE_P(Texts, BadFormula,
                         testing::Values("", "abc", "in", "1e999", "8.5 furlongs", "1 2"));

TEST(Cell, ValueClearsFormulaAndRefusesNonFinite) {
    PageSheet sheet;
    Cell& cell = sheet.Get("PlowCode");
    cell.SetFormula("2");
    cell.SetValue(1);
    EXPECT_EQ(cell.Formula(), "1");
    EXPECT_THROW(cell.SetValue(1.0 / 0.0), Failure);
    EXPECT_DOUBLE_EQ(cell.value, 1);
}

TEST(Page, DrawRectangleGivesCentreAndSizeWhicheverCornersCome) {
    Page page;
    auto a = page.DrawRectangle(3, 4, 1, 1);
    auto b = page.DrawRectangle(0, 0, 1, 1);
    EXPECT_DOUBLE_EQ(a->pinX, 2);
    EXPECT_DOUBLE_EQ(a->pinY, 2.5);
    EXPECT_DOUBLE_EQ(a->width, 2);
    EXPECT_DOUBLE_EQ(a->height, 3);
    EXPECT_EQ(a->name, "Sheet.1");
    EXPECT_EQ(b->name, "Sheet.2");
    EXPECT_EQ(page.FindShape("sheet.2"), b);
}

// A local name equal to any universal one would let a client's universal name through Cells.
TEST(CellNames, EachCellHasItsOwnLocalNameAndIndices) {
    std::vector<CellInfo> all(kPageCells.begin(), kPageCells.end());
    all.insert(all.end(), kShapeCells.begin(), kShapeCells.end());
    for (const CellInfo& a : all) {
        for (const CellInfo& b : all) {
            EXPECT_FALSE(SameName(a.localName, b.name)) << a.localName;
            if (&a != &b) {
                EXPECT_FALSE(SameName(a.localName, b.localName)) << a.localName;
            }
        }
    }
    for (const CellInfo& info : kPageCells) {
        EXPECT_EQ(FindCell(kPageCells, kSectionObject, info.row, info.cell), &info) << info.name;
        EXPECT_EQ(FindCell(kPageCells, info.localName, Naming::kLocal), &info);
        EXPECT_EQ(FindCell(kPageCells, info.name, Naming::kLocal), nullptr);
    }
}

TEST(Page, PastedShapesAreCentredTogether) {
    std::vector<Shape> shapes(2);
    shapes[0] = Shape{0, "", "", 1, 1, 2, 2};  // box from (0, 0)
    shapes[1] = Shape{0, "", "", 4, 3, 2, 2};  // to (5, 4)
    CentreOn(shapes, 8.5, 11);
    EXPECT_DOUBLE_EQ(shapes[0].pinX, 2.75);
    EXPECT_DOUBLE_EQ(shapes[0].pinY, 4.5);
    EXPECT_DOUBLE_EQ(shapes[1].pinX, 5.75);
    EXPECT_DOUBLE_EQ(shapes[1].pinY, 6.5);
}

struct PathCase {
    const char* path;
    bool full;
};

class FullPath : public testing::TestWithParam<PathCase> {};

TEST_P(FullPath, NeedsADriveOrShareAndAName) {
    EXPECT_EQ(IsFullFilePath(GetParam().path), GetParam().full) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FullPath,
    testing::Values(PathCase{"C:\\a.vsd", true}, PathCase{"c:/dir/x y\xC3\xA9.vsd", true},
                    PathCase{"\\\\server\\share\\a.vsd", true}, PathCase{"", false},
                    PathCase{"a.vsd", false}, PathCase{"dir\\a.vsd", false},
                    PathCase{"C:a.vsd", false}, PathCase{"C:\\dir\\", false},
                    PathCase{"\\\\server\\share", false}, PathCase{"\\a.vsd", false},
                    PathCase{"C:\\a?.vsd", false}, PathCase{"C:\\a:b.vsd", false}));

TEST(Numbers, FormatReadsBackExactly) {
    for (double v : {0.0, -0.0, 8.5, 1.0 / 3.0, -0.125, 1e-7, 123456789.25}) {
        auto back = ParseNumber(FormatNumber(v));
        ASSERT_TRUE(back) << FormatNumber(v);
        EXPECT_EQ(*back, v);
    }
    EXPECT_EQ(FormatNumber(-0.0), "0");
    EXPECT_FALSE(ParseNumber("1,5"));
    EXPECT_FALSE(ParseNumber(""));
    EXPECT_FALSE(ParseNumber("inf"));
    EXPECT_FALSE(ParseNumber("nan"));
}

}  // namespace
}  // namespace sv::standin
