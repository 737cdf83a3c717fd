#include "app/window_layout.h"

#include <algorithm>
#include <cstdint>

namespace sv {

TwipRect ClientTwips(const ControlSpec& control) {
    TwipRect place = control.place;
    if (control.container) {
        const TwipRect& frame = LayoutOf(*control.container).place;
        place.left += frame.left;
        place.top += frame.top;
    }
    return place;
}

int TwipsToPixels(int twips, int dpi) {
    // Half away from zero, as MulDiv rounds.
    std::int64_t product = static_cast<std::int64_t>(twips) * dpi;
    std::int64_t half = product < 0 ? -720 : 720;
    return static_cast<int>((product + half) / 1440);
}

PixelRect ToPixels(const TwipRect& place, int dpi) {
    int left = TwipsToPixels(place.left, dpi);
    int top = TwipsToPixels(place.top, dpi);
    int right = TwipsToPixels(place.left + place.width, dpi);
    int bottom = TwipsToPixels(place.top + place.height, dpi);
    return {left, top, right - left, bottom - top};
}

bool StartsGroup(const ControlSpec& control) {
    return control.id != Control::Option2 && control.id != Control::Option4;
}

bool TakesTabStop(const ControlSpec& control) {
    switch (control.kind) {
        case ControlKind::Frame:
        case ControlKind::ProgressBar:
        case ControlKind::CopyBuffer:
            return false;
        case ControlKind::OptionButton:
            // The selected option of a group carries the stop; Windows moves it on selection.
            return StartsGroup(control);
        default:
            return true;
    }
}

bool BarFillMoves(int from, int to, int maximum, int width) {
    if (maximum <= 0 || width <= 0) {
        return from != to;
    }
    auto clamp = [maximum](int value) { return std::clamp(value, 0, maximum); };
    const long long a = clamp(from);
    const long long b = clamp(to);
    for (int w = std::max(1, width - 2 * kBarBorderAllowance); w <= width; ++w) {
        if (a * w / maximum != b * w / maximum) {
            return true;
        }
    }
    return false;
}

}  // namespace sv
