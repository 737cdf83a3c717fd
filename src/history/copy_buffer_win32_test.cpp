#include "history/copy_buffer_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/text_win32.h"

namespace sv::win32 {
namespace {

std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = p;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

TEST(EditCopyBuffer, CopiesTheWholeTextOfALongLog) {
    EditCopyBuffer buffer;
    std::string log;
    for (int i = 0; i < 800; ++i) {
        log += "drawing" + std::to_string(i) +
               ".vsd was backup saved as C:\\B\\drawing_1.vsd at 12/7/2021 1:05:09 PM\r\n";
    }
    ASSERT_GT(log.size(), 40000u);
    buffer.LoadText(log);
    buffer.SetSelectionStart(0);
    buffer.SetSelectionLength(buffer.TextLength());
    EXPECT_EQ(buffer.TextLength(), static_cast<int>(log.size()));
    buffer.SendCopy();
    EXPECT_EQ(Narrow(ClipboardText()), log);
}

TEST(EditCopyBuffer, LoadReplacesTheEarlierTextAndKeepsNonAscii) {
    EditCopyBuffer buffer;
    buffer.LoadText("old text that is longer");
    buffer.LoadText("one\r\ntwo caf\xC3\xA9\r\n");
    buffer.SetSelectionStart(0);
    buffer.SetSelectionLength(buffer.TextLength());
    buffer.SendCopy();
    EXPECT_EQ(Narrow(ClipboardText()), "one\r\ntwo caf\xC3\xA9\r\n");
}

}  // namespace
}  // namespace sv::win32
