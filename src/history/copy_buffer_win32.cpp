#include "history/copy_buffer_win32.h"

#include "common/failure.h"
#include "common/text_win32.h"

namespace sv::win32 {

EditCopyBuffer::EditCopyBuffer(HWND parent) {
    const DWORD style =
        ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | (parent ? WS_CHILD : WS_POPUP);
    edit_.reset(::CreateWindowExW(0, L"EDIT", L"", style, 0, 0, 0, 0, parent, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr));
    if (!edit_)
        throw Failure(SystemMessage(::GetLastError()));
    // The default limit (about 32,000 characters) would cut a long log short.
    ::SendMessageW(edit_.get(), EM_LIMITTEXT, 0, 0);
}

void EditCopyBuffer::LoadText(const std::string& text) {
    std::wstring wide = Widen(text);
    if (!::SetWindowTextW(edit_.get(), wide.c_str())) {
        throw Failure(SystemMessage(::GetLastError()));
    }
    selectionStart_ = 0;
}

void EditCopyBuffer::SetSelectionStart(int start) {
    selectionStart_ = start;
    ::SendMessageW(edit_.get(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(start));
}

void EditCopyBuffer::SetSelectionLength(int length) {
    ::SendMessageW(edit_.get(), EM_SETSEL, static_cast<WPARAM>(selectionStart_),
                   static_cast<LPARAM>(selectionStart_ + length));
}

int EditCopyBuffer::TextLength() {
    return ::GetWindowTextLengthW(edit_.get());
}

void EditCopyBuffer::SendCopy() {
    ::SendMessageW(edit_.get(), WM_COPY, 0, 0);
}

}  // namespace sv::win32
