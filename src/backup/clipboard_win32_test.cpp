// Windows headers first: their A/W macros then rename members the same way everywhere here.
#include "backup/clipboard_win32.h"
#include "backup/dispatch_client_win32.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <functional>
#include <thread>

#include "backup/testing/clipboard_win32.h"
#include "backup/testing/standin_win32.h"
#include "common/com_win32.h"

namespace sv::backup {
namespace {

using testing::Block;
using testing::EmptyTheClipboard;
using testing::EndStrayStandins;
using testing::FormatsOnClipboard;
using testing::OpenedForTest;
using testing::PatternBlock;
using testing::PutBlocks;
using testing::ReadBlock;
using testing::ReadText;
using testing::TestWindow;
using testing::UnicodeBlock;
using testing::UserInstance;
using Blocks = std::vector<std::pair<UINT, Block>>;

UINT Registered(const wchar_t* name) {
    return ::RegisterClipboardFormatW(name);
}

Block DibBlock() {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 4;
    header.biHeight = 4;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    Block block(sizeof header + 4 * 4 * 4);
    std::memcpy(block.data(), &header, sizeof header);
    Block pixels = PatternBlock(4 * 4 * 4, 7);
    std::copy(pixels.begin(), pixels.end(), block.begin() + sizeof header);
    return block;
}

// 32-bit pixels with an alpha channel, which CF_DIB cannot carry.
Block DibV5Block() {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = 4;
    header.bV5Height = 4;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00ff0000;
    header.bV5GreenMask = 0x0000ff00;
    header.bV5BlueMask = 0x000000ff;
    header.bV5AlphaMask = 0xff000000;
    header.bV5CSType = LCS_sRGB;
    Block block(sizeof header + 4 * 4 * 4);
    std::memcpy(block.data(), &header, sizeof header);
    Block pixels = PatternBlock(4 * 4 * 4, 9);
    std::copy(pixels.begin(), pixels.end(), block.begin() + sizeof header);
    return block;
}

Block AnsiBlock(const std::string& text) {
    Block block(text.size() + 1);
    std::memcpy(block.data(), text.c_str(), block.size());
    return block;
}

Block DropBlock() {
    const wchar_t files[] = L"C:\\Plans\\a.vsd\0C:\\Plans\\b \xE4.vsd\0";
    DROPFILES drop{};
    drop.pFiles = sizeof drop;
    drop.fWide = TRUE;
    Block block(sizeof drop + sizeof files);
    std::memcpy(block.data(), &drop, sizeof drop);
    std::memcpy(block.data() + sizeof drop, files, sizeof files);
    return block;
}

// Where each format stands on the clipboard now; -1 when it is not there.
int PlaceOf(UINT format) {
    std::vector<UINT> formats = FormatsOnClipboard();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (formats[i] == format) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class ClipboardWineTest : public ::testing::Test {
  protected:
    // What the run's page copy does: the shapes replace the clipboard.
    void RunCopies() {
        ASSERT_TRUE(
            PutBlocks(run.get(), {{Registered(L"Stenvault test shapes"), PatternBlock(64, 1)},
                                  {CF_UNICODETEXT, UnicodeBlock(L"box")}}));
        keeper.NoteOwnChange();
    }

    TestWindow user;
    TestWindow run;
    win32::Win32Clipboard clipboard;
    ClipboardSnapshotKeeper keeper{clipboard};
};

struct RoundTrip {
    const char* name;
    std::function<Blocks()> blocks;
};
void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.name;
}

class MemoryFormats : public ClipboardWineTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(MemoryFormats, ComeBackByteForByteInTheirOrder) {
    const Blocks before = GetParam().blocks();
    ASSERT_TRUE(PutBlocks(user.get(), before));
    keeper.Take();
    RunCopies();
    keeper.Restore();

    int place = -1;
    for (const auto& [format, data] : before) {
        std::optional<Block> after = ReadBlock(format);
        ASSERT_TRUE(after) << "format " << format << " is missing";
        ASSERT_GE(after->size(), data.size());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), after->begin())) << "format " << format;
        EXPECT_GT(PlaceOf(format), place) << "format " << format << " out of order";
        place = PlaceOf(format);
    }
    EXPECT_FALSE(ReadBlock(Registered(L"Stenvault test shapes"))) << "the run's shapes remain";
}

INSTANTIATE_TEST_SUITE_P(
    RealClipboard, MemoryFormats,
    ::testing::Values(
        RoundTrip{"TextPrivateAndDib",
                  [] {
                      return Blocks{
                          {CF_UNICODETEXT, UnicodeBlock(L"Grundriss \x00e4\x00f8 \x20ac")},
                          {Registered(L"Stenvault test private"),
                           Block{std::byte{0}, std::byte{0xff}, std::byte{0}, std::byte{7}}},
                          {CF_DIB, DibBlock()}};
                  }},
        // Each placed by the owner, not made by the system from the other.
        RoundTrip{"UnicodeTextAndItsOwnAnsiText",
                  [] {
                      return Blocks{{CF_UNICODETEXT, UnicodeBlock(L"Grundriss \x00e4 \x20ac")},
                                    {CF_TEXT, AnsiBlock("Grundriss ae EUR")}};
                  }},
        RoundTrip{"DibAndDibV5WithAlpha",
                  [] {
                      return Blocks{{CF_DIB, DibBlock()}, {CF_DIBV5, DibV5Block()}};
                  }},
        RoundTrip{"DroppedFiles",
                  [] {
                      return Blocks{{CF_HDROP, DropBlock()}};
                  }},
        RoundTrip{"ThreeBlocksOfTenMegabytes",
                  [] {
                      return Blocks{
                          {Registered(L"Stenvault test big 1"), PatternBlock(10 << 20, 1)},
                          {Registered(L"Stenvault test big 2"), PatternBlock(10 << 20, 2)},
                          {Registered(L"Stenvault test big 3"), PatternBlock(10 << 20, 3)}};
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClipboardWineTest, BitmapComesBackAsACopyWithTheSamePixels) {
    std::vector<std::uint32_t> pixels(8 * 8);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = 0x00102030u * static_cast<std::uint32_t>(i + 1);
    }
    {
        OpenedForTest opened(user.get());
        ASSERT_TRUE(opened.ok());
        ::EmptyClipboard();
        ASSERT_TRUE(::SetClipboardData(CF_BITMAP, ::CreateBitmap(8, 8, 1, 32, pixels.data())));
    }
    keeper.Take();
    RunCopies();
    keeper.Restore();

    OpenedForTest opened(nullptr);
    ASSERT_TRUE(opened.ok());
    auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    std::vector<std::uint32_t> after(8 * 8);
    ASSERT_EQ(::GetBitmapBits(bitmap, static_cast<LONG>(after.size() * 4), after.data()),
              static_cast<LONG>(after.size() * 4));
    EXPECT_EQ(after, pixels);
}

TEST_F(ClipboardWineTest, EnhancedMetafileComesBackWithTheSameRecords) {
    HDC dc = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ::Rectangle(dc, 10, 10, 200, 100);
    ::Ellipse(dc, 20, 20, 80, 90);
    HENHMETAFILE metafile = ::CloseEnhMetaFile(dc);
    Block before(::GetEnhMetaFileBits(metafile, 0, nullptr));
    ::GetEnhMetaFileBits(metafile, static_cast<UINT>(before.size()),
                         reinterpret_cast<BYTE*>(before.data()));
    {
        OpenedForTest opened(user.get());
        ASSERT_TRUE(opened.ok());
        ::EmptyClipboard();
        ASSERT_TRUE(::SetClipboardData(CF_ENHMETAFILE, metafile));
    }
    keeper.Take();
    RunCopies();
    keeper.Restore();

    OpenedForTest opened(nullptr);
    ASSERT_TRUE(opened.ok());
    auto restored = static_cast<HENHMETAFILE>(::GetClipboardData(CF_ENHMETAFILE));
    ASSERT_NE(restored, nullptr);
    Block after(::GetEnhMetaFileBits(restored, 0, nullptr));
    ::GetEnhMetaFileBits(restored, static_cast<UINT>(after.size()),
                         reinterpret_cast<BYTE*>(after.data()));
    EXPECT_EQ(after, before);
}

// Data promised for later that its owner never renders, and a format its owner draws itself.
TEST_F(ClipboardWineTest, FormatsThatCannotBeHadAreLeftOutAndTheRestComesBack) {
    const UINT promised = Registered(L"Stenvault test promised");
    {
        OpenedForTest opened(user.get());
        ASSERT_TRUE(opened.ok());
        ::EmptyClipboard();
        ::SetClipboardData(promised, nullptr);
        ASSERT_TRUE(::SetClipboardData(CF_UNICODETEXT, testing::GlobalCopy(UnicodeBlock(L"kept"))));
        ::SetClipboardData(CF_OWNERDISPLAY, nullptr);
    }
    keeper.Take();
    RunCopies();
    keeper.Restore();

    EXPECT_EQ(ReadText(), std::wstring(L"kept"));
    EXPECT_EQ(PlaceOf(promised), -1);
    EXPECT_EQ(PlaceOf(CF_OWNERDISPLAY), -1);
}

TEST_F(ClipboardWineTest, EmptyStaysEmpty) {
    ASSERT_TRUE(EmptyTheClipboard(user.get()));
    keeper.Take();
    RunCopies();
    keeper.Restore();
    EXPECT_TRUE(FormatsOnClipboard().empty());
}

TEST_F(ClipboardWineTest, AnotherProgramsCopyDuringTheRunIsKept) {
    EndStrayStandins();
    sv::win32::ComApartment apartment;
    win32::DispatchLink link;
    UserInstance standin;
    ASSERT_TRUE(standin.ready());
    Object app = link.AttachToVisio();
    testing::AddDrawingWithShape(*app, "theirs");

    ASSERT_TRUE(testing::PutText(user.get(), L"before"));
    keeper.Take();
    RunCopies();
    Object window = app->GetObj("ActiveWindow");
    window->Call("SelectAll");
    window->Call("Copy");
    keeper.Restore();

    EXPECT_EQ(ReadText(), std::wstring(L"theirs"));
    window.reset();
    app.reset();
}

// Another thread of ours holds the clipboard open until it is told to let go.
class Holder {
  public:
    // The holder lets go when the message it sends reaches `wake`'s window, so only a wait
    // that handles sent messages frees it; with no window it holds on until the end.
    explicit Holder(bool letGoWhenPumped) {
        if (letGoWhenPumped) {
            wake_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      nullptr, nullptr);
            ::SetWindowLongPtrW(wake_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            previous_ = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(wake_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Wake)));
        }
        HANDLE opened = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, opened] {
            ok_ = ::OpenClipboard(nullptr) != FALSE;
            ::SetEvent(opened);
            if (wake_) {
                ::SendNotifyMessageW(wake_, WM_APP, 0, 0);
            }
            while (!letGo_) {
                ::Sleep(5);
            }
            ::CloseClipboard();
        });
        ::WaitForSingleObject(opened, INFINITE);
        ::CloseHandle(opened);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        letGo_ = true;
        thread_.join();
        if (wake_) {
            ::DestroyWindow(wake_);
        }
    }
    bool ok() const { return ok_; }

  private:
    static LRESULT CALLBACK Wake(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<Holder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_APP) {
            self->letGo_ = true;
            return 0;
        }
        return ::CallWindowProcW(self->previous_, window, message, w, l);
    }

    HWND wake_ = nullptr;
    WNDPROC previous_ = nullptr;
    std::atomic<bool> ok_{false};
    std::atomic<bool> letGo_{false};
    std::thread thread_;
};

// The wait for the clipboard lets no queued click in: it would run in the middle of the run.
TEST_F(ClipboardWineTest, ClipboardHeldUntilMessagesRunIsRestoredOnceFreeAndInputWaits) {
    ASSERT_TRUE(testing::PutText(user.get(), L"before"));
    keeper.Take();
    RunCopies();
    ::PostMessageW(user.get(), WM_LBUTTONUP, 0, 0);
    {
        Holder holder(true);
        ASSERT_TRUE(holder.ok());
        keeper.Restore();
    }
    EXPECT_EQ(ReadText(), std::wstring(L"before"));
    MSG queued;
    EXPECT_TRUE(::PeekMessageW(&queued, user.get(), WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
}

TEST_F(ClipboardWineTest, ClipboardHeldThroughoutIsLeftAsItIs) {
    ASSERT_TRUE(testing::PutText(user.get(), L"before"));
    keeper.Take();
    RunCopies();
    {
        Holder holder(false);
        ASSERT_TRUE(holder.ok());
        keeper.Restore();
    }
    EXPECT_EQ(ReadText(), std::wstring(L"box"));
}

}  // namespace
}  // namespace sv::backup
