#pragma once

#include <windows.h>

#include <string>

#include "common/handles_win32.h"
#include "history/history_log.h"

namespace sv::win32 {

// A hidden multi-line edit control holding the text to copy; WM_COPY puts its selection on
// the clipboard as Unicode text.
class EditCopyBuffer : public CopyBuffer {
  public:
    // The control is a hidden child of parent, or a hidden top-level window without one.
    explicit EditCopyBuffer(HWND parent = nullptr);

    void LoadText(const std::string& text) override;
    void SetSelectionStart(int start) override;
    void SetSelectionLength(int length) override;
    int TextLength() override;
    void SendCopy() override;

    HWND window() const { return edit_.get(); }

  private:
    UniqueWindow edit_;
    int selectionStart_ = 0;
};

}  // namespace sv::win32
