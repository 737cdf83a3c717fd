#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sv::win32 {

// ListView1, the interval list: one column, rows added at the end, one selected row.
class IntervalList {
  public:
    void SetWindow(HWND list);
    HWND Window() const { return list_; }
    // Off while the list is filled unseen; on again, it lays itself out and brings the
    // selected row into view.
    void SetRedraw(bool redraw);

    // Widths in twips, placed for the DPI.
    void AddColumn(const std::string& heading, int widthTwips, int dpi);
    void AddRow(const std::string& text);
    // A 1-based position; outside the rows it throws Failure("Invalid property value").
    void SelectRow(int position);
    std::optional<int> SelectedIndex() const;
    std::optional<std::string> SelectedText() const;
    void Rescale(int dpi);

    // A notification from the list; click is called for what counts as a click on it.
    LRESULT OnNotify(NMHDR& header, const std::function<void()>& click);

  private:
    LRESULT DrawItem(NMLVCUSTOMDRAW& draw) const;

    HWND list_ = nullptr;
    // The rows' texts as added (the list has no label editing): read once a second.
    std::vector<std::string> rows_;
    bool rowsKnown_ = true;
    int columnTwips_ = 0;
    int lastSelected_ = -1;
    // The program is choosing a row: not a click.
    bool selecting_ = false;
};

}  // namespace sv::win32
