#include "app/interval_list_win32.h"

#include "app/window_layout.h"
#include "common/failure.h"
#include "common/text_win32.h"

namespace sv::win32 {

void IntervalList::SetWindow(HWND list) {
    list_ = list;
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
}

void IntervalList::SetRedraw(bool redraw) {
    if (!list_) {
        return;
    }
    ::SendMessageW(list_, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
    // Rows selected meanwhile could not be scrolled to while the list kept its old layout.
    if (redraw) {
        if (std::optional<int> selected = SelectedIndex()) {
            ListView_EnsureVisible(list_, *selected, FALSE);
        }
    }
}

void IntervalList::AddColumn(const std::string& heading, int widthTwips, int dpi) {
    std::wstring text = Widen(heading);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = TwipsToPixels(widthTwips, dpi);
    column.iSubItem = Header_GetItemCount(ListView_GetHeader(list_));
    if (::SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column.iSubItem),
                       reinterpret_cast<LPARAM>(&column)) < 0) {
        throw Failure("The list could not take another column");
    }
    columnTwips_ = widthTwips;
}

void IntervalList::AddRow(const std::string& text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list_);
    item.pszText = wide.data();
    const auto index = ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (index < 0) {
        throw Failure("The list could not take another row");
    }
    // Rows put in by anyone else leave the texts to be read from the list.
    if (rowsKnown_ && static_cast<std::size_t>(index) == rows_.size()) {
        rows_.push_back(text);
    } else {
        rowsKnown_ = false;
    }
}

void IntervalList::SelectRow(int position) {
    int count = list_ ? ListView_GetItemCount(list_) : 0;
    if (position < 1 || position > count) {
        throw Failure("Invalid property value");
    }
    selecting_ = true;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list_, position - 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    selecting_ = false;
    ListView_EnsureVisible(list_, position - 1, FALSE);
}

std::optional<int> IntervalList::SelectedIndex() const {
    if (!list_) {
        return std::nullopt;
    }
    int index = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (index < 0) {
        return std::nullopt;
    }
    return index;
}

std::optional<std::string> IntervalList::SelectedText() const {
    std::optional<int> index = SelectedIndex();
    if (!index) {
        return std::nullopt;
    }
    if (rowsKnown_ && static_cast<std::size_t>(*index) < rows_.size()) {
        return rows_[static_cast<std::size_t>(*index)];
    }
    std::wstring text(260, L'\0');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    auto length = ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(*index),
                                 reinterpret_cast<LPARAM>(&item));
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

void IntervalList::Rescale(int dpi) {
    if (list_ && columnTwips_ > 0) {
        ListView_SetColumnWidth(list_, 0, TwipsToPixels(columnTwips_, dpi));
    }
}

LRESULT IntervalList::OnNotify(NMHDR& header, const std::function<void()>& click) {
    if (header.code == NM_CUSTOMDRAW) {
        return DrawItem(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    }
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        bool nowSelected = (change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) &&
                           !(change.uOldState & LVIS_SELECTED) && change.iItem >= 0;
        if (nowSelected) {
            lastSelected_ = change.iItem;
            // A row chosen with the keyboard counts as a click: otherwise the choice would not
            // be stored and a count already past the new interval would never start a backup.
            bool byMouse = (::GetKeyState(VK_LBUTTON) & 0x8000) != 0;
            if (!selecting_ && !byMouse) {
                click();
            }
        }
    } else if (header.code == NM_CLICK) {
        // A click on blank space or a Ctrl+click would leave no interval at all; keep the row.
        if (!SelectedIndex() && lastSelected_ >= 0 &&
            lastSelected_ < ListView_GetItemCount(list_)) {
            selecting_ = true;
            ListView_SetItemState(list_, lastSelected_, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            selecting_ = false;
        }
        click();
    }
    return 0;
}

LRESULT IntervalList::DrawItem(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        return CDRF_NOTIFYITEMDRAW;
    }
    // The chosen interval stays plainly marked while another control has the focus.
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw.nmcd.uItemState & CDIS_SELECTED) &&
        ::GetFocus() != draw.nmcd.hdr.hwndFrom) {
        draw.nmcd.uItemState &= ~CDIS_SELECTED;
        draw.clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
        draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
    }
    return CDRF_DODEFAULT;
}

}  // namespace sv::win32
