#pragma once

// The main window's controls as the user sees them at start, written out by hand: tests
// compare the layout table and the real window with these, not with the table itself.
#include <array>

#include "app/form_view.h"

namespace sv::testing {

struct ExpectedControl {
    Control id;
    const char* name;
    const char* caption;
    // Relative to the container, in twips.
    int left;
    int top;
    int width;
    int height;
    // Relative to the window's client area, in twips.
    int clientLeft;
    int clientTop;
};

inline constexpr std::array<ExpectedControl, 22> kExpectedControls = {{
    {Control::PushButton4, "PushButton4", "Turn On Backup Save", 120, 120, 7800, 405, 120, 120},
    {Control::Frame2, "Frame2", "On. Next backup save will occur in", 120, 570, 7800, 860, 120,
     570},
    {Control::ProgressBar1, "ProgressBar1", "", 240, 270, 7280, 405, 360, 840},
    {Control::Frame1, "Frame1", "Save Location Option", 120, 1530, 7800, 1400, 120, 1530},
    {Control::Option1, "Option1", "Save all backups to this location:", 240, 300, 3840, 255, 360,
     1830},
    {Control::Text1, "Text1", "", 480, 550, 6135, 345, 600, 2080},
    {Control::PushButton1, "PushButton1", "...", 6720, 555, 615, 345, 6840, 2085},
    {Control::Option2, "Option2", "Save all backups to the same folder as the open documents", 240,
     1000, 6615, 255, 360, 2530},
    {Control::Frame3, "Frame3", "Other Options", 120, 3015, 7800, 2455, 120, 3015},
    {Control::Option3, "Option3", "Create new file on backup", 225, 300, 5415, 255, 345, 3315},
    {Control::Option4, "Option4", "Overwrite old backup file on backup", 225, 650, 3840, 255, 345,
     3665},
    {Control::Check5, "Check5", "Load this software on Windows startup", 240, 1000, 3930, 240, 360,
     4015},
    {Control::Check8, "Check8", "Start in system tray", 240, 1350, 2580, 240, 360, 4365},
    {Control::Check9, "Check9", "Back up only when the drawing has changed", 240, 1700, 4500, 240,
     360, 4715},
    {Control::Check10, "Check10", "Thin out older backups", 240, 2050, 2800, 240, 360, 5065},
    {Control::ListView1, "ListView1", "", 120, 5590, 7800, 1815, 120, 5590},
    {Control::PushButton2, "PushButton2", "Backup Save Now (Test)", 120, 7495, 7800, 405, 120,
     7495},
    {Control::PushButton3, "PushButton3", "View History Log", 120, 8005, 3840, 405, 120, 8005},
    {Control::PushButton5, "PushButton5", "Copy History To Clipboard", 4080, 8005, 3840, 405, 4080,
     8005},
    {Control::PushButton11, "PushButton11", "Help", 120, 8515, 3840, 405, 120, 8515},
    {Control::PushButton12, "PushButton12", "Clear History Log", 4080, 8515, 3840, 405, 4080, 8515},
    {Control::RichTextBox1, "RichTextBox1", "", 9000, 240, 4815, 3015, 9000, 240},
}};

}  // namespace sv::testing
