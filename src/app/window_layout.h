#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "app/form_view.h"

namespace sv {

// The main window's controls as laid out at start: kind, caption and place in twips.
enum class ControlKind {
    PushButton,
    Frame,
    ProgressBar,
    OptionButton,
    CheckBox,
    TextBox,
    List,
    CopyBuffer,
};

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TwipRect&) const = default;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PixelRect&) const = default;
};

struct ControlSpec {
    std::string_view name;
    ControlKind kind;
    std::string_view caption;
    // The frame that holds it, or empty for the window itself.
    std::string_view container;
    // Relative to the container.
    TwipRect place;
    // The pointer-move source the control reports as; none for the copy buffer.
    std::optional<Control> source;
};

inline constexpr int kClientWidthTwips = 8025;
inline constexpr int kClientHeightTwips = 8325;
inline constexpr int kListColumnTwips = 6400;

// In creation order, which is also the tab order: top to bottom, with the frames last so they
// sit below the controls they enclose.
inline constexpr std::array<ControlSpec, 20> kFormControls = {{
    {"PushButton4",
     ControlKind::PushButton,
     "Turn On Backup Save",
     "",
     {120, 120, 7800, 405},
     Control::PushButton4},
    {"ProgressBar1",
     ControlKind::ProgressBar,
     "",
     "Frame2",
     {240, 270, 7280, 405},
     Control::ProgressBar1},
    {"Option1",
     ControlKind::OptionButton,
     "Save all backups to this location:",
     "Frame1",
     {240, 300, 3840, 255},
     Control::Option1},
    {"Option2",
     ControlKind::OptionButton,
     "Save all backups to the same folder as the open documents",
     "Frame1",
     {240, 1000, 6615, 255},
     Control::Option2},
    {"Text1", ControlKind::TextBox, "", "Frame1", {480, 550, 6135, 345}, Control::Text1},
    {"PushButton1",
     ControlKind::PushButton,
     "...",
     "Frame1",
     {6720, 555, 615, 345},
     Control::PushButton1},
    {"Option3",
     ControlKind::OptionButton,
     "Create new file on backup",
     "Frame3",
     {225, 300, 5415, 255},
     Control::Option3},
    {"Option4",
     ControlKind::OptionButton,
     "Overwrite old backup file on backup",
     "Frame3",
     {225, 650, 3840, 255},
     Control::Option4},
    {"Check5",
     ControlKind::CheckBox,
     "Load this software on Windows startup",
     "Frame3",
     {240, 1000, 3930, 240},
     Control::Check5},
    {"Check8",
     ControlKind::CheckBox,
     "Start in system tray",
     "Frame3",
     {240, 1350, 2580, 240},
     Control::Check8},
    {"ListView1", ControlKind::List, "", "", {120, 4890, 7800, 1815}, Control::ListView1},
    {"PushButton2",
     ControlKind::PushButton,
     "Backup Save Now (Test)",
     "",
     {120, 6795, 7800, 405},
     Control::PushButton2},
    {"PushButton3",
     ControlKind::PushButton,
     "View History Log",
     "",
     {120, 7305, 3840, 405},
     Control::PushButton3},
    {"PushButton5",
     ControlKind::PushButton,
     "Copy History To Clipboard",
     "",
     {4080, 7305, 3840, 405},
     Control::PushButton5},
    {"PushButton11",
     ControlKind::PushButton,
     "Help",
     "",
     {120, 7815, 3840, 405},
     Control::PushButton11},
    {"PushButton12",
     ControlKind::PushButton,
     "Clear History Log",
     "",
     {4080, 7815, 3840, 405},
     Control::PushButton12},
    {"RichTextBox1", ControlKind::CopyBuffer, "", "", {9000, 240, 4815, 3015}, std::nullopt},
    {"Frame2",
     ControlKind::Frame,
     "On. Next backup save will occur in",
     "",
     {120, 570, 7800, 860},
     Control::Frame2},
    {"Frame1",
     ControlKind::Frame,
     "Save Location Option",
     "",
     {120, 1530, 7800, 1400},
     Control::Frame1},
    {"Frame3", ControlKind::Frame, "Other Options", "", {120, 3015, 7800, 1755}, Control::Frame3},
}};

// The control of that name, or null.
const ControlSpec* FindControl(std::string_view name);

// Its place relative to the window's client area (a frame's offset added for its children).
TwipRect ClientTwips(const ControlSpec& control);

// Twips to pixels at a DPI, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// Edges are converted, not sizes, so controls that line up in twips line up in pixels.
PixelRect ToPixels(const TwipRect& place, int dpi);

// True for controls that open a new keyboard group: all but the second option of each pair,
// so the arrow keys move between Option1/Option2 and Option3/Option4.
bool StartsGroup(const ControlSpec& control);

// True for controls the Tab key stops at.
bool TakesTabStop(const ControlSpec& control);

}  // namespace sv
