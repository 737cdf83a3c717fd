#include "standin/drawing_file.h"

#include <gtest/gtest.h>

#include "common/failure.h"
#include "standin/faults.h"
#include "standin/xml.h"

namespace sv::standin {
namespace {

const std::string kTrickyText =
    "R&D <draft> \"v2\" \xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\nline 2";

Document SampleDocument() {
    Document document("Drawing1");
    auto first = document.AddPage();
    auto second = document.AddPage();
    second->name = "Back & <ground>";
    second->background = true;
    double v = 0.5;
    for (Cell& c : first->sheet.cells()) {
        c.SetValue(v);
        v += 0.25;
    }
    second->sheet.Get("PageWidth").SetFormula("297 mm");
    auto shape = first->DrawRectangle(1, 2, 4, 3.5);
    shape->text = kTrickyText;
    first->DrawRectangle(5, 5, 6, 7);
    return document;
}

TEST(DrawingFile, RoundTripKeepsPagesCellsAndShapes) {
    Document original = SampleDocument();
    auto pages = ReadDrawing(WriteDrawing(original));
    ASSERT_EQ(pages.size(), 2u);

    const Page& first = *pages[0];
    EXPECT_EQ(first.name, "Page-1");
    EXPECT_FALSE(first.background);
    ASSERT_EQ(first.sheet.cells().size(), 43u);
    for (size_t i = 0; i < 43; ++i) {
        EXPECT_DOUBLE_EQ(first.sheet.cells()[i].value, original.pages()[0]->sheet.cells()[i].value)
            << first.sheet.cells()[i].info->name;
    }
    ASSERT_EQ(first.shapes.size(), 2u);
    EXPECT_EQ(first.shapes[0]->text, kTrickyText);
    EXPECT_EQ(first.shapes[0]->name, "Sheet.1");
    EXPECT_DOUBLE_EQ(first.shapes[0]->pinX, 2.5);
    EXPECT_DOUBLE_EQ(first.shapes[0]->pinY, 2.75);
    EXPECT_DOUBLE_EQ(first.shapes[0]->width, 3);
    EXPECT_DOUBLE_EQ(first.shapes[0]->height, 1.5);
    EXPECT_EQ(first.shapes[1]->text, "");

    const Page& second = *pages[1];
    EXPECT_EQ(second.name, "Back & <ground>");
    EXPECT_TRUE(second.background);
    EXPECT_NEAR(second.sheet.Find("PageWidth")->value, 297 / 25.4, 1e-12);
    EXPECT_EQ(second.sheet.Find("PageWidth")->Formula(), "297 mm");
    EXPECT_DOUBLE_EQ(second.sheet.Find("PageHeight")->value, 11);
}

TEST(DrawingFile, IsInTheDrawingSchemaWithCellsInTheirSections) {
    XmlElement root = ParseXml(WriteDrawing(SampleDocument()));
    EXPECT_EQ(root.name, "VisioDocument");
    EXPECT_EQ(*root.Attribute("xmlns"), kDrawingNamespace);
    const XmlElement* page = root.Child("Pages")->Child("Page");
    EXPECT_EQ(*page->Attribute("ID"), "0");
    EXPECT_EQ(*page->Attribute("NameU"), "Page-1");
    EXPECT_EQ(page->Attribute("Background"), nullptr);
    const XmlElement* sheet = page->Child("PageSheet");
    const XmlElement* width = sheet->Child("PageProps")->Child("PageWidth");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(*width->Attribute("Unit"), "IN");
    EXPECT_NE(sheet->Child("PageLayout")->Child("PlowCode"), nullptr);
    EXPECT_NE(sheet->Child("RulerGrid")->Child("XGridSpacing"), nullptr);
    const XmlElement* shape = page->Child("Shapes")->Child("Shape");
    EXPECT_EQ(*shape->Attribute("Type"), "Shape");
    EXPECT_NE(shape->Child("XForm")->Child("PinX"), nullptr);
}

TEST(DrawingFile, ReadsFilesWrittenByOtherTools) {
    const char* xml =
        "<?xml version='1.0' encoding='utf-8'?>"
        "<VisioDocument xmlns='http://schemas.microsoft.com/visio/2003/core'>"
        "<DocumentSettings/><Pages>"
        "<Page ID='4' Name='Plan' Background='0'><PageSheet>"
        "<PageProps><PageWidth Unit='MM' F='Inh'>11.69</PageWidth><PageScale>2</PageScale>"
        "</PageProps><Unknown><PlowCode>1</PlowCode></Unknown></PageSheet>"
        "<Shapes><Shape ID='7' Type='Shape'><XForm><PinX>1</PinX></XForm>"
        "<Text><cp IX='0'/>Hi</Text></Shape><Shape/></Shapes></Page>"
        "<Page ID='4'/></Pages></VisioDocument>";
    auto document = ReadDocument(xml, "C:\\in\\plan.vdx");
    EXPECT_EQ(document->name(), "plan.vdx");
    EXPECT_EQ(document->path(), "C:\\in\\");
    EXPECT_TRUE(document->saved());
    ASSERT_EQ(document->pages().size(), 2u);
    const Page& plan = *document->pages()[0];
    EXPECT_DOUBLE_EQ(plan.sheet.Find("PageWidth")->value, 11.69);
    EXPECT_EQ(plan.sheet.Find("PageWidth")->formula, "");
    EXPECT_DOUBLE_EQ(plan.sheet.Find("PageScale")->value, 2);
    EXPECT_DOUBLE_EQ(plan.sheet.Find("PlowCode")->value, 1);
    ASSERT_EQ(plan.shapes.size(), 2u);
    EXPECT_EQ(plan.shapes[0]->text, "Hi");
    EXPECT_EQ(plan.shapes[0]->name, "Sheet.7");
    EXPECT_EQ(plan.shapes[1]->name, "Sheet.8");
    // An unnamed page with a clashing id still gets a name and an id of its own.
    const Page& unnamed = *document->pages()[1];
    EXPECT_EQ(unnamed.name, "Page-2");
    EXPECT_NE(unnamed.id, plan.id);
}

TEST(DrawingFile, RefusesOtherXml) {
    EXPECT_THROW(ReadDrawing("<html><body/></html>"), Failure);
    EXPECT_THROW(ReadDrawing(""), Failure);
}

TEST(ClipboardShapes, RoundTripAndEmptySelection) {
    Page page;
    page.DrawRectangle(0, 0, 2, 1)->text = kTrickyText;
    auto copied = ReadShapes(WriteShapes(page.shapes, false));
    ASSERT_EQ(copied.shapes.size(), 1u);
    EXPECT_EQ(copied.shapes[0].text, kTrickyText);
    EXPECT_DOUBLE_EQ(copied.shapes[0].width, 2);
    EXPECT_FALSE(copied.noTranslate);
    // The copy's flag travels with the shapes.
    EXPECT_TRUE(ReadShapes(WriteShapes(page.shapes, true)).noTranslate);
    EXPECT_TRUE(ReadShapes(WriteShapes({}, false)).shapes.empty());
    EXPECT_THROW(ReadShapes(WriteDrawing(Document("x"))), Failure);
}

struct FaultCase {
    const char* member;
    std::optional<std::string> argument;
    std::optional<std::string> expected;
};

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, MatchMemberAndFirstArgumentIgnoringCase) {
    FaultTable table;
    table.Add("Cells:PlowCode", "plow");
    table.Add("cells", "any cell");
    table.Add("SAVEAS", "exit");
    const FaultCase& c = GetParam();
    auto fault = table.Find(c.member, c.argument);
    ASSERT_EQ(fault.has_value(), c.expected.has_value());
    if (fault) {
        EXPECT_EQ(fault->kind == Fault::Kind::Exit, *c.expected == "exit");
        EXPECT_EQ(fault->description, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Faults,
                         testing::Values(FaultCase{"Cells", "plowcode", "plow"},
                                         FaultCase{"Cells", "PageWidth", "any cell"},
                                         FaultCase{"Cells", std::nullopt, "any cell"},
                                         FaultCase{"SaveAs", "C:\\x.vsd", "exit"},
                                         FaultCase{"Paste", std::nullopt, std::nullopt}));

struct BusyCase {
    const char* data;
    Fault::Kind kind;
    std::optional<int> seconds;
    long pid = 0;
};

class BusyFaults : public testing::TestWithParam<BusyCase> {};

// A busy fault is told apart from an error whose text merely starts like one.
TEST_P(BusyFaults, ReadFromTheData) {
    FaultTable table;
    table.Add("Pages", GetParam().data);
    auto fault = table.Find("Pages", std::nullopt);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->kind, GetParam().kind);
    EXPECT_EQ(fault->busySeconds, GetParam().seconds);
    EXPECT_EQ(fault->pid, GetParam().pid);
    if (fault->kind == Fault::Kind::Raise) {
        EXPECT_EQ(fault->description, GetParam().data);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, BusyFaults,
                         testing::Values(BusyCase{"busy 3", Fault::Kind::Busy, 3},
                                         BusyCase{"busy 0", Fault::Kind::Busy, 0},
                                         BusyCase{"busy forever", Fault::Kind::Busy, std::nullopt},
                                         BusyCase{"busy 3s", Fault::Kind::Raise, std::nullopt},
                                         BusyCase{"busy -1", Fault::Kind::Raise, std::nullopt},
                                         BusyCase{"busy", Fault::Kind::Raise, std::nullopt},
                                         BusyCase{"Busy wire.", Fault::Kind::Raise, std::nullopt},
                                         BusyCase{"pid 4242", Fault::Kind::Pid, std::nullopt, 4242},
                                         BusyCase{"pid 42 x", Fault::Kind::Raise, std::nullopt},
                                         BusyCase{"local names", Fault::Kind::LocalNames,
                                                  std::nullopt},
                                         BusyCase{"partial", Fault::Kind::Partial, std::nullopt}));

}  // namespace
}  // namespace sv::standin
