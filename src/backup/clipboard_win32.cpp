#include "backup/clipboard_win32.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include "common/message_wait_win32.h"

namespace sv::backup::win32 {
namespace {

constexpr wchar_t kOwnerClass[] = L"StenvaultClipboardOwner";

HWND CreateOwnerWindow() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = kOwnerClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when already registered
    return ::CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                             nullptr);
}

// A locked global memory block, unlocked on every way out.
class Locked {
  public:
    explicit Locked(HGLOBAL block) : block_(block), data_(::GlobalLock(block)) {}
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    ~Locked() {
        if (data_) {
            ::GlobalUnlock(block_);
        }
    }
    void* get() const { return data_; }

  private:
    HGLOBAL block_;
    void* data_;
};

// A global memory block for the clipboard, freed here unless the clipboard took it.
class GlobalBlock {
  public:
    explicit GlobalBlock(std::size_t size)
        : block_(::GlobalAlloc(GMEM_MOVEABLE, size ? size : 1)) {}
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (block_) {
            ::GlobalFree(block_);
        }
    }
    HGLOBAL get() const { return block_; }
    bool GiveTo(UINT format) {
        if (!block_ || !::SetClipboardData(format, block_)) {
            return false;
        }
        block_ = nullptr;
        return true;
    }

  private:
    HGLOBAL block_;
};

enum class ObjectType { Bitmap, EnhMetafile, MetafilePicture, Palette };

ObjectType TypeOf(ClipboardFormat format) {
    switch (format) {
        case clip::kBitmap:
        case clip::kDspBitmap:
            return ObjectType::Bitmap;
        case clip::kEnhMetafile:
        case clip::kDspEnhMetafile:
            return ObjectType::EnhMetafile;
        case clip::kMetafilePict:
        case clip::kDspMetafilePict:
            return ObjectType::MetafilePicture;
        default:
            return ObjectType::Palette;
    }
}

// A drawing object of our own, deleted unless the clipboard took it.
class GdiCopy : public ClipboardObject {
  public:
    GdiCopy(ObjectType type, HANDLE handle, METAFILEPICT picture = {})
        : type_(type), handle_(handle), picture_(picture) {}
    GdiCopy(const GdiCopy&) = delete;
    GdiCopy& operator=(const GdiCopy&) = delete;
    ~GdiCopy() override {
        if (!handle_) {
            return;
        }
        switch (type_) {
            case ObjectType::EnhMetafile:
                ::DeleteEnhMetaFile(static_cast<HENHMETAFILE>(handle_));
                break;
            case ObjectType::MetafilePicture:
                ::DeleteMetaFile(static_cast<HMETAFILE>(handle_));
                break;
            default:
                ::DeleteObject(static_cast<HGDIOBJ>(handle_));
                break;
        }
    }
    bool GiveTo(UINT format) {
        if (type_ != ObjectType::MetafilePicture) {
            if (!::SetClipboardData(format, handle_)) {
                return false;
            }
            handle_ = nullptr;
            return true;
        }
        // The metafile travels inside a global block that names it.
        GlobalBlock block(sizeof(METAFILEPICT));
        {
            Locked locked(block.get());
            if (!locked.get()) {
                return false;
            }
            METAFILEPICT picture = picture_;
            picture.hMF = static_cast<HMETAFILE>(handle_);
            std::memcpy(locked.get(), &picture, sizeof picture);
        }
        if (!block.GiveTo(format)) {
            return false;
        }
        handle_ = nullptr;
        return true;
    }

  private:
    ObjectType type_;
    HANDLE handle_;
    METAFILEPICT picture_;
};

// The metafile picture a global block names; nothing when the block is too small for one.
std::optional<METAFILEPICT> PictureIn(HANDLE data) {
    auto block = static_cast<HGLOBAL>(data);
    if (::GlobalSize(block) < sizeof(METAFILEPICT)) {
        return std::nullopt;
    }
    Locked locked(block);
    if (!locked.get()) {
        return std::nullopt;
    }
    METAFILEPICT picture{};
    std::memcpy(&picture, locked.get(), sizeof picture);
    return picture;
}

WORD PaletteEntries(HANDLE data) {
    WORD count = 0;
    return ::GetObjectW(data, sizeof count, &count) ? count : 0;
}

std::optional<std::size_t> ObjectSize(ObjectType type, HANDLE data) {
    std::size_t size = 0;
    switch (type) {
        case ObjectType::Bitmap: {
            BITMAP info{};
            if (::GetObjectW(data, sizeof info, &info)) {
                size = static_cast<std::size_t>(info.bmWidthBytes) *
                       static_cast<std::size_t>(info.bmHeight) *
                       static_cast<std::size_t>(info.bmPlanes ? info.bmPlanes : 1);
            }
            break;
        }
        case ObjectType::EnhMetafile:
            size = ::GetEnhMetaFileBits(static_cast<HENHMETAFILE>(data), 0, nullptr);
            break;
        case ObjectType::MetafilePicture:
            if (std::optional<METAFILEPICT> picture = PictureIn(data)) {
                size = ::GetMetaFileBitsEx(picture->hMF, 0, nullptr) + sizeof(METAFILEPICT);
            }
            break;
        case ObjectType::Palette:
            size = PaletteEntries(data) * sizeof(PALETTEENTRY);
            break;
    }
    if (size == 0) {
        return std::nullopt;
    }
    return size;
}

std::unique_ptr<ClipboardObject> CopyBitmap(HANDLE data) {
    HANDLE copy = ::CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
    if (!copy) {
        return nullptr;
    }
    return std::make_unique<GdiCopy>(ObjectType::Bitmap, copy);
}

std::unique_ptr<ClipboardObject> CopyEnhMetafile(HANDLE data) {
    HENHMETAFILE copy = ::CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
    if (!copy) {
        return nullptr;
    }
    return std::make_unique<GdiCopy>(ObjectType::EnhMetafile, copy);
}

std::unique_ptr<ClipboardObject> CopyMetafilePicture(HANDLE data) {
    std::optional<METAFILEPICT> picture = PictureIn(data);
    HMETAFILE copy = picture ? ::CopyMetaFileW(picture->hMF, nullptr) : nullptr;
    if (!copy) {
        return nullptr;
    }
    return std::make_unique<GdiCopy>(ObjectType::MetafilePicture, copy, *picture);
}

std::unique_ptr<ClipboardObject> CopyPalette(HANDLE data) {
    const WORD count = PaletteEntries(data);
    if (count == 0) {
        return nullptr;
    }
    std::vector<std::byte> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = count;
    if (::GetPaletteEntries(static_cast<HPALETTE>(data), 0, count, palette->palPalEntry) != count) {
        return nullptr;
    }
    HPALETTE copy = ::CreatePalette(palette);
    if (!copy) {
        return nullptr;
    }
    return std::make_unique<GdiCopy>(ObjectType::Palette, copy);
}

}  // namespace

Win32Clipboard::Win32Clipboard() = default;

Win32Clipboard::~Win32Clipboard() {
    Close();
}

bool Win32Clipboard::TryOpen() {
    // Made at first use, after the program's main window: made before it under Wine, this
    // hidden window left the main window's keyboard handling one key behind.
    if (!window_) {
        window_.reset(CreateOwnerWindow());
    }
    // Without a window of our own the clipboard would have no owner to keep what we put back.
    if (open_ || !window_) {
        return false;
    }
    open_ = ::OpenClipboard(window_.get()) != FALSE;
    return open_;
}

void Win32Clipboard::Close() {
    if (open_) {
        ::CloseClipboard();
        open_ = false;
    }
}

void Win32Clipboard::Pause(int milliseconds) {
    // A run is waiting: paint, timers and sent messages only, as while it waits on a call.
    sv::win32::WaitHandlingMessages(nullptr, std::chrono::milliseconds(milliseconds));
}

std::uint32_t Win32Clipboard::SequenceNumber() {
    return ::GetClipboardSequenceNumber();
}

std::vector<ClipboardFormat> Win32Clipboard::Formats() {
    std::vector<ClipboardFormat> formats;
    if (!open_) {
        return formats;
    }
    for (UINT format = ::EnumClipboardFormats(0); format != 0;
         format = ::EnumClipboardFormats(format)) {
        formats.push_back(format);
    }
    return formats;
}

std::optional<std::size_t> Win32Clipboard::DataSize(ClipboardFormat format) {
    HANDLE data = open_ ? ::GetClipboardData(format) : nullptr;
    if (!data) {
        return std::nullopt;
    }
    if (KindOf(format) == FormatKind::DrawingObject) {
        return ObjectSize(TypeOf(format), data);
    }
    const SIZE_T size = ::GlobalSize(data);
    if (size == 0) {
        return std::nullopt;
    }
    return size;
}

std::optional<std::vector<std::byte>> Win32Clipboard::ReadBytes(ClipboardFormat format) {
    HANDLE data = open_ ? ::GetClipboardData(format) : nullptr;
    if (!data) {
        return std::nullopt;
    }
    const SIZE_T size = ::GlobalSize(data);
    Locked locked(data);
    if (size == 0 || !locked.get()) {
        return std::nullopt;
    }
    const auto* first = static_cast<const std::byte*>(locked.get());
    return std::vector<std::byte>(first, first + size);
}

std::unique_ptr<ClipboardObject> Win32Clipboard::CopyObject(ClipboardFormat format) {
    HANDLE data = open_ ? ::GetClipboardData(format) : nullptr;
    if (!data) {
        return nullptr;
    }
    switch (TypeOf(format)) {
        case ObjectType::Bitmap:
            return CopyBitmap(data);
        case ObjectType::EnhMetafile:
            return CopyEnhMetafile(data);
        case ObjectType::MetafilePicture:
            return CopyMetafilePicture(data);
        case ObjectType::Palette:
            return CopyPalette(data);
    }
    return nullptr;
}

bool Win32Clipboard::Empty() {
    return open_ && ::EmptyClipboard();
}

bool Win32Clipboard::SetBytes(ClipboardFormat format, const std::vector<std::byte>& bytes) {
    if (!open_) {
        return false;
    }
    GlobalBlock block(bytes.size());
    if (!block.get()) {
        return false;
    }
    {
        Locked locked(block.get());
        if (!locked.get()) {
            return false;
        }
        if (!bytes.empty()) {
            std::memcpy(locked.get(), bytes.data(), bytes.size());
        }
    }
    return block.GiveTo(format);
}

bool Win32Clipboard::SetObject(ClipboardFormat format, std::unique_ptr<ClipboardObject>& object) {
    auto* copy = dynamic_cast<GdiCopy*>(object.get());
    if (!open_ || !copy || !copy->GiveTo(format)) {
        return false;
    }
    object.reset();
    return true;
}

}  // namespace sv::backup::win32
