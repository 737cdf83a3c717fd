// Time a backup run adds for keeping the clipboard: Take before the run's copies plus Restore
// after them, for an empty clipboard, 1 KB of text and 10 MB in mixed formats.
#include "backup/clipboard_win32.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "backup/testing/clipboard_win32.h"

namespace sv::backup {
namespace {

using testing::Block;
using testing::PatternBlock;
using testing::UnicodeBlock;
using Blocks = std::vector<std::pair<UINT, Block>>;

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

Block Dib(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    Block block = PatternBlock(sizeof header + static_cast<std::size_t>(width) * height * 4, 5);
    std::memcpy(block.data(), &header, sizeof header);
    return block;
}

struct Case {
    const char* name;
    Blocks content;
};

void Measure(const Case& c, int rounds) {
    testing::TestWindow user;
    testing::TestWindow run;
    win32::Win32Clipboard clipboard;
    ClipboardSnapshotKeeper keeper(clipboard);
    const Blocks shapes = {
        {::RegisterClipboardFormatW(L"Stenvault bench shapes"), PatternBlock(4096, 9)},
        {CF_UNICODETEXT, UnicodeBlock(L"box")}};
    std::vector<double> takes, restores;
    for (int i = 0; i < rounds; ++i) {
        if (!testing::PutBlocks(user.get(), c.content)) {
            std::fprintf(stderr, "could not set the clipboard\n");
            std::exit(1);
        }
        double start = Now();
        keeper.Take();
        takes.push_back(Now() - start);
        testing::PutBlocks(run.get(), shapes);
        keeper.NoteOwnChange();
        start = Now();
        keeper.Restore();
        restores.push_back(Now() - start);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2] * 1000;
    };
    std::vector<double> both(takes.size());
    for (std::size_t i = 0; i < both.size(); ++i) {
        both[i] = takes[i] + restores[i];
    }
    std::printf("%-28s Take %8.2f ms  Restore %8.2f ms  added per run %8.2f ms (median of %d)\n",
                c.name, median(takes), median(restores), median(both), rounds);
}

}  // namespace
}  // namespace sv::backup

int main() {
    using namespace sv::backup;
    std::wstring kilobyte(511, L'x');  // 1 KB with its terminating zero
    const Case cases[] = {
        {"empty clipboard", {}},
        {"1 KB of text", {{CF_UNICODETEXT, UnicodeBlock(kilobyte)}}},
        {"10 MB: text, DIB, private",
         {{CF_UNICODETEXT, UnicodeBlock(std::wstring(1 << 20, L'y'))},
          {CF_DIB, Dib(1024, 1536)},
          {::RegisterClipboardFormatW(L"Stenvault bench private"), PatternBlock(2 << 20, 3)}}},
    };
    for (const Case& c : cases) {
        Measure(c, 21);
    }
    return 0;
}
