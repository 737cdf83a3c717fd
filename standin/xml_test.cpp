#include "standin/xml.h"

#include <gtest/gtest.h>

#include "common/failure.h"

namespace sv::standin {
namespace {

TEST(Xml, ParsesNamesAttributesAndText) {
    XmlElement root = ParseXml(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c --><v:Root a=\"1 &amp; 2\" b='x'>"
        "<Child>t&lt;&#233;&#x263A;<![CDATA[<raw>]]></Child><Empty/></v:Root>\n");
    EXPECT_EQ(root.name, "Root");
    ASSERT_NE(root.Attribute("a"), nullptr);
    EXPECT_EQ(*root.Attribute("a"), "1 & 2");
    EXPECT_EQ(*root.Attribute("b"), "x");
    ASSERT_NE(root.Child("Child"), nullptr);
    EXPECT_EQ(root.Child("Child")->text, "t<\xC3\xA9\xE2\x98\xBA<raw>");
    EXPECT_NE(root.Child("Empty"), nullptr);
    EXPECT_EQ(root.Child("Missing"), nullptr);
}

TEST(Xml, EscapedTextReadsBackUnchanged) {
    const std::string text = "a & b < c > d \"q\" 's'\r\nline\ttab \xC3\xA4\xE6\x97\xA5";
    XmlWriter w;
    w.Leaf("T", text, {{"attr", text}});
    XmlElement root = ParseXml(w.str());
    EXPECT_EQ(root.text, text);
    EXPECT_EQ(*root.Attribute("attr"), text);
    // A raw line break in an attribute folds into a space, as XML requires.
    EXPECT_EQ(*ParseXml("<a v='x\ny'/>").Attribute("v"), "x y");
}

TEST(Xml, DropsCharactersXmlCannotCarry) {
    EXPECT_EQ(EscapeXml(std::string("a\x01"
                                    "b\x1F"
                                    "c",
                                    5)),
              "abc");
}

class MalformedXml : public testing::TestWithParam<const char*> {};

TEST_P(MalformedXml, IsRefused) {
    EXPECT_THROW(ParseXml(GetParam()), Failure);
}

INSTANTIATE_TEST_SUITE_P(Inputs, MalformedXml,
                         testing::Values("", "just text", "<a>", "<a></b>", "<a x=1/>",
                                         "<a>&bogus;</a>", "<a>&#0;</a>", "<a>&#xD800;</a>",
                                         "<a/><b/>", "<a x=\"<\"/>",
                                         "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
                                         "<a><!-- open</a>", "<a>&amp</a>"));

TEST(Xml, RefusesNestingBeyondAnyDrawing) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    EXPECT_THROW(ParseXml(deep), Failure);
}

}  // namespace
}  // namespace sv::standin
