#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Reading and writing the real clipboard from tests under Wine.
namespace sv::backup::testing {

using Block = std::vector<std::byte>;

inline Block PatternBlock(std::size_t size, unsigned seed) {
    Block block(size);
    unsigned value = seed;
    for (std::byte& b : block) {
        value = value * 1103515245u + 12345u;
        b = static_cast<std::byte>(value >> 16);
    }
    return block;
}

// Wine's clipboard manager may hold the clipboard for a moment after a change.
inline bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::OpenClipboard(owner)) {
            return true;
        }
        ::Sleep(20);
    }
    return false;
}

// Closes the clipboard when the test's block ends.
class OpenedForTest {
  public:
    explicit OpenedForTest(HWND owner) : ok_(OpenClipboardPatiently(owner)) {}
    OpenedForTest(const OpenedForTest&) = delete;
    OpenedForTest& operator=(const OpenedForTest&) = delete;
    ~OpenedForTest() {
        if (ok_) {
            ::CloseClipboard();
        }
    }
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

inline HGLOBAL GlobalCopy(const Block& data) {
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, data.empty() ? 1 : data.size());
    if (block && !data.empty()) {
        std::memcpy(::GlobalLock(block), data.data(), data.size());
        ::GlobalUnlock(block);
    }
    return block;
}

inline Block UnicodeBlock(const std::wstring& text) {
    Block block((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(block.data(), text.c_str(), block.size());
    return block;
}

// Empties the clipboard and puts the blocks on it in this order; false on any failure.
inline bool PutBlocks(HWND owner, const std::vector<std::pair<UINT, Block>>& blocks) {
    OpenedForTest opened(owner);
    if (!opened.ok() || !::EmptyClipboard()) {
        return false;
    }
    for (const auto& [format, data] : blocks) {
        HGLOBAL block = GlobalCopy(data);
        if (!block || !::SetClipboardData(format, block)) {
            ::GlobalFree(block);
            return false;
        }
    }
    return true;
}

inline bool PutText(HWND owner, const std::wstring& text) {
    return PutBlocks(owner, {{CF_UNICODETEXT, UnicodeBlock(text)}});
}

inline bool EmptyTheClipboard(HWND owner) {
    OpenedForTest opened(owner);
    return opened.ok() && ::EmptyClipboard();
}

// The first `size` bytes of a memory format, or nothing.
inline std::optional<Block> ReadBlock(UINT format) {
    OpenedForTest opened(nullptr);
    HANDLE data = opened.ok() ? ::GetClipboardData(format) : nullptr;
    if (!data) {
        return std::nullopt;
    }
    const auto* first = static_cast<const std::byte*>(::GlobalLock(data));
    if (!first) {
        return std::nullopt;
    }
    Block block(first, first + ::GlobalSize(data));
    ::GlobalUnlock(data);
    return block;
}

inline std::optional<std::wstring> ReadText() {
    std::optional<Block> block = ReadBlock(CF_UNICODETEXT);
    if (!block) {
        return std::nullopt;
    }
    std::wstring text(block->size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), block->data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

inline std::vector<UINT> FormatsOnClipboard() {
    std::vector<UINT> formats;
    OpenedForTest opened(nullptr);
    if (opened.ok()) {
        for (UINT f = ::EnumClipboardFormats(0); f != 0; f = ::EnumClipboardFormats(f)) {
            formats.push_back(f);
        }
    }
    return formats;
}

// A message-only window for tests that own the clipboard.
class TestWindow {
  public:
    TestWindow()
        : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr)) {}
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() { ::DestroyWindow(window_); }
    HWND get() const { return window_; }

  private:
    HWND window_;
};

}  // namespace sv::backup::testing
