#include "app/surface_colours.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kClassicFace = Rgb(240, 240, 240);
constexpr Colour kYellow = Rgb(255, 255, 0);
constexpr Colour kDarkGrey = Rgb(64, 64, 64);

constexpr SystemColours kClassic{kBlack, kClassicFace, kBlack};
// A high-contrast black theme: white text on black.
constexpr SystemColours kHighContrastBlack{kWhite, kBlack, kWhite};
constexpr SystemColours kYellowText{kYellow, kBlack, kYellow};
constexpr SystemColours kGreyText{kDarkGrey, kClassicFace, kBlack};

struct ColourCase {
    const char* name;
    bool highContrast;
    bool skinned;
    SystemColours system;
    SurfaceColours expected;
};

class SurfaceColoursTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(SurfaceColoursTest, KeepEveryCaptionReadable) {
    const ColourCase& c = GetParam();
    SurfaceColours chosen = ChooseSurfaceColours(c.highContrast, c.skinned, c.system);
    EXPECT_EQ(chosen.background, c.expected.background);
    EXPECT_EQ(chosen.text, c.expected.text);
    EXPECT_GE(ContrastRatio(chosen.background, chosen.text), 4.5);
}

INSTANTIATE_TEST_SUITE_P(
    Themes, SurfaceColoursTest,
    ::testing::Values(
        ColourCase{"Plain", false, false, kClassic, {kWhite, kBlack}},
        ColourCase{"Skinned", false, true, kClassic, {kClassicFace, kBlack}},
        // Dark grey still reads on white: the white surface stays.
        ColourCase{"GreyTextOnWhite", false, false, kGreyText, {kWhite, kDarkGrey}},
        ColourCase{"HighContrastBlack", true, false, kHighContrastBlack, {kBlack, kWhite}},
        ColourCase{"HighContrastSkinned", true, true, kHighContrastBlack, {kBlack, kWhite}},
        // Light text without the high-contrast flag would vanish on white.
        ColourCase{"LightTextWithoutTheFlag", false, false, kHighContrastBlack, {kBlack, kWhite}},
        ColourCase{"YellowText", false, false, kYellowText, {kBlack, kYellow}},
        // The high-contrast flag wins even when the text would read on white.
        ColourCase{"HighContrastWhite",
                   true,
                   false,
                   SystemColours{kBlack, kWhite, kBlack},
                   {kWhite, kBlack}},
        ColourCase{"HighContrastFace", true, false, kClassic, {kClassicFace, kBlack}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ContrastRatio, RunsFromOneToTwentyOne) {
    EXPECT_DOUBLE_EQ(ContrastRatio(kWhite, kWhite), 1.0);
    EXPECT_NEAR(ContrastRatio(kBlack, kWhite), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(kWhite, kBlack), 21.0, 1e-9);
    // Pure red on white: 4.0, the red channel is the lightest weighted after green.
    EXPECT_NEAR(ContrastRatio(Rgb(255, 0, 0), kWhite), 4.0, 0.01);
    EXPECT_NEAR(ContrastRatio(Rgb(0, 0, 255), kWhite), 8.59, 0.01);
}

}  // namespace
}  // namespace sv
