#pragma once

#include <cstdint>

namespace sv {

// A colour as Windows keeps it: 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr Colour Rgb(int red, int green, int blue) {
    return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
           (static_cast<Colour>(blue) << 16);
}

inline constexpr Colour kWhite = Rgb(255, 255, 255);

// The system's colours the window's surfaces can take.
struct SystemColours {
    Colour windowText;
    Colour buttonFace;
    Colour buttonText;
};

// What the window, its frames, option buttons and check boxes are painted with.
struct SurfaceColours {
    Colour background;
    Colour text;

    bool operator==(const SurfaceColours&) const = default;
};

// WCAG contrast ratio between two colours, 1 (none) to 21 (black on white).
double ContrastRatio(Colour a, Colour b);

// White with the system's window text normally; the button face when a skin is applied. A
// high-contrast theme, or a text colour that would not read on white, takes the system's
// button colours instead, so every caption stays readable.
SurfaceColours ChooseSurfaceColours(bool highContrast, bool skinned, const SystemColours& system);

}  // namespace sv
