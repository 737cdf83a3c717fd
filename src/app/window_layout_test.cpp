#include "app/window_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/testing/expected_layout.h"

namespace sv {
namespace {

bool Inside(const TwipRect& inner, const TwipRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

class EachControl : public ::testing::TestWithParam<ControlSpec> {};

TEST_P(EachControl, SitsInsideItsContainer) {
    const ControlSpec& control = GetParam();
    TwipRect client{0, 0, kClientWidthTwips, kClientHeightTwips};
    TwipRect place = ClientTwips(control);
    if (control.kind == ControlKind::CopyBuffer) {
        // Kept off the visible client area.
        EXPECT_GE(place.left, kClientWidthTwips);
        return;
    }
    EXPECT_TRUE(Inside(place, client)) << control.name;
    if (control.container) {
        const ControlSpec& frame = LayoutOf(*control.container);
        EXPECT_EQ(frame.kind, ControlKind::Frame);
        EXPECT_TRUE(Inside(place, frame.place)) << control.name << " in " << frame.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Form, EachControl, ::testing::ValuesIn(kFormControls),
                         [](const auto& info) { return std::string(info.param.name); });

class ControlAtStart : public ::testing::TestWithParam<testing::ExpectedControl> {};

TEST_P(ControlAtStart, HasItsCaptionAndPlace) {
    const testing::ExpectedControl& expected = GetParam();
    const ControlSpec& control = LayoutOf(expected.id);
    EXPECT_EQ(control.id, expected.id);
    EXPECT_EQ(control.name, expected.name);
    EXPECT_EQ(control.caption, expected.caption);
    EXPECT_EQ(control.place,
              (TwipRect{expected.left, expected.top, expected.width, expected.height}));
    EXPECT_EQ(ClientTwips(control),
              (TwipRect{expected.clientLeft, expected.clientTop, expected.width, expected.height}));
}

INSTANTIATE_TEST_SUITE_P(Form, ControlAtStart, ::testing::ValuesIn(testing::kExpectedControls),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FormLayout, TheWindowIsItsSizeAndTheListColumnItsWidth) {
    EXPECT_EQ(kClientWidthTwips, 8025);
    EXPECT_EQ(kClientHeightTwips, 9025);
    EXPECT_EQ(kListColumnTwips, 6400);
}

TEST(FormLayout, TabStopsRunTopToBottom) {
    const ControlSpec* previous = nullptr;
    int stops = 0;
    for (const ControlSpec& control : kFormControls) {
        if (!TakesTabStop(control)) {
            continue;
        }
        ++stops;
        if (previous) {
            TwipRect a = ClientTwips(*previous);
            TwipRect b = ClientTwips(control);
            EXPECT_TRUE(a.top < b.top || (a.top == b.top && a.left < b.left))
                << previous->name << " before " << control.name;
        }
        previous = &control;
    }
    // Seven buttons, two option groups, the folder box, four check boxes and the list.
    EXPECT_EQ(stops, 15);
}

TEST(FormLayout, OptionPairsShareAKeyboardGroup) {
    EXPECT_TRUE(StartsGroup(LayoutOf(Control::Option1)));
    EXPECT_FALSE(StartsGroup(LayoutOf(Control::Option2)));
    EXPECT_TRUE(StartsGroup(LayoutOf(Control::Text1)));
    EXPECT_TRUE(StartsGroup(LayoutOf(Control::Option3)));
    EXPECT_FALSE(StartsGroup(LayoutOf(Control::Option4)));
    EXPECT_TRUE(StartsGroup(LayoutOf(Control::Check5)));
}

class TwipsAtDpi : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(TwipsAtDpi, RoundsToNearestPixel) {
    auto [twips, dpi, pixels] = GetParam();
    EXPECT_EQ(TwipsToPixels(twips, dpi), pixels);
}

INSTANTIATE_TEST_SUITE_P(Values, TwipsAtDpi,
                         ::testing::Values(std::make_tuple(1440, 96, 96),
                                           std::make_tuple(8025, 96, 535),
                                           std::make_tuple(9025, 96, 602),
                                           std::make_tuple(8025, 144, 803),  // 802.5 rounds up
                                           std::make_tuple(6, 120, 1),       // half a pixel
                                           std::make_tuple(5, 120, 0), std::make_tuple(-6, 120, -1),
                                           std::make_tuple(6400, 192, 853)));

class EdgesAtDpi : public ::testing::TestWithParam<int> {};

TEST_P(EdgesAtDpi, AlignedControlsStayAligned) {
    int dpi = GetParam();
    auto px = [dpi](Control control) { return ToPixels(ClientTwips(LayoutOf(control)), dpi); };
    auto right = [](PixelRect r) { return r.left + r.width; };
    auto bottom = [](PixelRect r) { return r.top + r.height; };
    // The half-width buttons end where the full-width ones do, whatever the rounding.
    EXPECT_EQ(right(px(Control::PushButton5)), right(px(Control::PushButton2)));
    EXPECT_EQ(right(px(Control::PushButton12)), right(px(Control::PushButton4)));
    EXPECT_EQ(px(Control::PushButton3).left, px(Control::PushButton2).left);
    EXPECT_EQ(bottom(px(Control::PushButton3)), bottom(px(Control::PushButton5)));
    EXPECT_LE(bottom(px(Control::PushButton12)), TwipsToPixels(kClientHeightTwips, dpi));
}

INSTANTIATE_TEST_SUITE_P(Dpis, EdgesAtDpi, ::testing::Values(96, 120, 144, 168, 192, 288));

struct FillCase {
    const char* name;
    int from;
    int to;
    int maximum;
    int width;
    bool moves;
};

class BarFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(BarFill, MovesOnlyWhenSomePixelChanges) {
    const FillCase& c = GetParam();
    EXPECT_EQ(BarFillMoves(c.from, c.to, c.maximum, c.width), c.moves);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BarFill,
    ::testing::Values(FillCase{"OneSecondOfADay", 100, 101, 86400, 485, false},
                      FillCase{"OneSecondOfFiveMinutes", 1, 2, 300, 485, true},
                      FillCase{"BackToEmpty", 86000, 0, 86400, 485, true},
                      // The client width's fill holds; the fill inside a border moves.
                      FillCase{"InsideTheBorder", 10, 11, 1000, 100, true},
                      FillCase{"PastTheEndBothFull", 400, 500, 300, 485, false},
                      FillCase{"NoRange", 1, 2, 0, 485, true},
                      FillCase{"NoWidth", 1, 2, 300, 0, true}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv
