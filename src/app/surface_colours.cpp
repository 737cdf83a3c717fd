#include "app/surface_colours.h"

#include <cmath>

namespace sv {
namespace {

// Below this, text is hard to read (WCAG's minimum for normal text).
constexpr double kReadableContrast = 4.5;

double Channel(Colour colour, int shift) {
    double value = static_cast<double>((colour >> shift) & 0xFF) / 255.0;
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(Colour colour) {
    return 0.2126 * Channel(colour, 0) + 0.7152 * Channel(colour, 8) + 0.0722 * Channel(colour, 16);
}

}  // namespace

double ContrastRatio(Colour a, Colour b) {
    double la = Luminance(a);
    double lb = Luminance(b);
    if (la < lb) {
        double swap = la;
        la = lb;
        lb = swap;
    }
    return (la + 0.05) / (lb + 0.05);
}

SurfaceColours ChooseSurfaceColours(bool highContrast, bool skinned, const SystemColours& system) {
    SurfaceColours buttons{system.buttonFace, system.buttonText};
    if (highContrast || skinned) {
        return buttons;
    }
    if (ContrastRatio(system.windowText, kWhite) < kReadableContrast) {
        return buttons;
    }
    return {kWhite, system.windowText};
}

}  // namespace sv
