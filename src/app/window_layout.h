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
    Control id;
    // The form's name for it, as tests and traces show it.
    std::string_view name;
    ControlKind kind;
    std::string_view caption;
    // The frame that holds it, or none for the window itself.
    std::optional<Control> container;
    // Relative to the container.
    TwipRect place;
};

inline constexpr int kClientWidthTwips = 8025;
inline constexpr int kClientHeightTwips = 9025;
inline constexpr int kListColumnTwips = 6400;

// Indexed by Control.
inline constexpr std::array<ControlSpec, kControlCount> kFormControls = {{
    {Control::PushButton4,
     "PushButton4",
     ControlKind::PushButton,
     "Turn On Backup Save",
     std::nullopt,
     {120, 120, 7800, 405}},
    {Control::ProgressBar1,
     "ProgressBar1",
     ControlKind::ProgressBar,
     "",
     Control::Frame2,
     {240, 270, 7280, 405}},
    {Control::Option1,
     "Option1",
     ControlKind::OptionButton,
     "Save all backups to this location:",
     Control::Frame1,
     {240, 300, 3840, 255}},
    {Control::Option2,
     "Option2",
     ControlKind::OptionButton,
     "Save all backups to the same folder as the open documents",
     Control::Frame1,
     {240, 1000, 6615, 255}},
    {Control::Text1, "Text1", ControlKind::TextBox, "", Control::Frame1, {480, 550, 6135, 345}},
    {Control::PushButton1,
     "PushButton1",
     ControlKind::PushButton,
     "...",
     Control::Frame1,
     {6720, 555, 615, 345}},
    {Control::Option3,
     "Option3",
     ControlKind::OptionButton,
     "Create new file on backup",
     Control::Frame3,
     {225, 300, 5415, 255}},
    {Control::Option4,
     "Option4",
     ControlKind::OptionButton,
     "Overwrite old backup file on backup",
     Control::Frame3,
     {225, 650, 3840, 255}},
    {Control::Check5,
     "Check5",
     ControlKind::CheckBox,
     "Load this software on Windows startup",
     Control::Frame3,
     {240, 1000, 3930, 240}},
    {Control::Check8,
     "Check8",
     ControlKind::CheckBox,
     "Start in system tray",
     Control::Frame3,
     {240, 1350, 2580, 240}},
    {Control::Check9,
     "Check9",
     ControlKind::CheckBox,
     "Back up only when the drawing has changed",
     Control::Frame3,
     {240, 1700, 4500, 240}},
    {Control::Check10,
     "Check10",
     ControlKind::CheckBox,
     "Thin out older backups",
     Control::Frame3,
     {240, 2050, 2800, 240}},
    {Control::ListView1, "ListView1", ControlKind::List, "", std::nullopt, {120, 5590, 7800, 1815}},
    {Control::PushButton2,
     "PushButton2",
     ControlKind::PushButton,
     "Backup Save Now (Test)",
     std::nullopt,
     {120, 7495, 7800, 405}},
    {Control::PushButton3,
     "PushButton3",
     ControlKind::PushButton,
     "View History Log",
     std::nullopt,
     {120, 8005, 3840, 405}},
    {Control::PushButton5,
     "PushButton5",
     ControlKind::PushButton,
     "Copy History To Clipboard",
     std::nullopt,
     {4080, 8005, 3840, 405}},
    {Control::PushButton11,
     "PushButton11",
     ControlKind::PushButton,
     "Help",
     std::nullopt,
     {120, 8515, 3840, 405}},
    {Control::PushButton12,
     "PushButton12",
     ControlKind::PushButton,
     "Clear History Log",
     std::nullopt,
     {4080, 8515, 3840, 405}},
    {Control::RichTextBox1,
     "RichTextBox1",
     ControlKind::CopyBuffer,
     "",
     std::nullopt,
     {9000, 240, 4815, 3015}},
    {Control::Frame2,
     "Frame2",
     ControlKind::Frame,
     "On. Next backup save will occur in",
     std::nullopt,
     {120, 570, 7800, 860}},
    {Control::Frame1,
     "Frame1",
     ControlKind::Frame,
     "Save Location Option",
     std::nullopt,
     {120, 1530, 7800, 1400}},
    {Control::Frame3,
     "Frame3",
     ControlKind::Frame,
     "Other Options",
     std::nullopt,
     {120, 3015, 7800, 2455}},
}};

constexpr std::size_t IndexOf(Control control) {
    return static_cast<std::size_t>(control);
}

constexpr bool EveryControlOnceInOrder() {
    for (std::size_t i = 0; i < kFormControls.size(); ++i) {
        if (IndexOf(kFormControls[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(EveryControlOnceInOrder(), "the layout table follows the Control enum");

constexpr const ControlSpec& LayoutOf(Control control) {
    return kFormControls[IndexOf(control)];
}

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

// True when a progress bar width pixels wide shows a different fill at position to than at
// from (range 0 to maximum). The bar fills its client area less a border no wider than
// kBarBorderAllowance pixels a side, depending on the theme, so every such width is checked.
inline constexpr int kBarBorderAllowance = 4;
bool BarFillMoves(int from, int to, int maximum, int width);

}  // namespace sv
