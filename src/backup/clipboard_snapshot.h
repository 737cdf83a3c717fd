#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "backup/clipboard_keeper.h"

namespace sv::backup {

using ClipboardFormat = unsigned int;

// The system's predefined format numbers, the same on every Windows.
namespace clip {
inline constexpr ClipboardFormat kText = 1;
inline constexpr ClipboardFormat kBitmap = 2;
inline constexpr ClipboardFormat kMetafilePict = 3;
inline constexpr ClipboardFormat kOemText = 7;
inline constexpr ClipboardFormat kDib = 8;
inline constexpr ClipboardFormat kPalette = 9;
inline constexpr ClipboardFormat kUnicodeText = 13;
inline constexpr ClipboardFormat kEnhMetafile = 14;
inline constexpr ClipboardFormat kHdrop = 15;
inline constexpr ClipboardFormat kLocale = 16;
inline constexpr ClipboardFormat kDibV5 = 17;
inline constexpr ClipboardFormat kOwnerDisplay = 0x0080;
inline constexpr ClipboardFormat kDspText = 0x0081;
inline constexpr ClipboardFormat kDspBitmap = 0x0082;
inline constexpr ClipboardFormat kDspMetafilePict = 0x0083;
inline constexpr ClipboardFormat kDspEnhMetafile = 0x008E;
inline constexpr ClipboardFormat kPrivateFirst = 0x0200;
inline constexpr ClipboardFormat kPrivateLast = 0x02FF;
inline constexpr ClipboardFormat kGdiObjFirst = 0x0300;
inline constexpr ClipboardFormat kGdiObjLast = 0x03FF;
}  // namespace clip

enum class FormatKind {
    Memory,         // a global memory block, copied byte for byte
    DrawingObject,  // a bitmap, metafile or palette, copied as an object of its own
    NotCopied,      // drawn by its owner, or a handle of a kind only its owner knows
};
FormatKind KindOf(ClipboardFormat format);

// A copy of a drawing object, held by the platform side until the clipboard takes it.
class ClipboardObject {
  public:
    virtual ~ClipboardObject() = default;
};

// The system clipboard, one call per operation. Reading and writing need it open.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // One attempt; false while another program holds it open.
    virtual bool TryOpen() = 0;
    virtual void Close() = 0;
    // Waits about that long while the thread's messages keep being handled.
    virtual void Pause(int milliseconds) = 0;
    virtual std::uint32_t SequenceNumber() = 0;

    // Formats in the order the clipboard lists them.
    virtual std::vector<ClipboardFormat> Formats() = 0;
    // Bytes a format's data takes, a drawing object's included; nothing when it cannot be had.
    virtual std::optional<std::size_t> DataSize(ClipboardFormat format) = 0;
    virtual std::optional<std::vector<std::byte>> ReadBytes(ClipboardFormat format) = 0;
    // A copy of a drawing-object format; null when it cannot be had.
    virtual std::unique_ptr<ClipboardObject> CopyObject(ClipboardFormat format) = 0;

    // Empties it and makes this program its owner.
    virtual bool Empty() = 0;
    virtual bool SetBytes(ClipboardFormat format, const std::vector<std::byte>& bytes) = 0;
    // On success the clipboard owns the object and the pointer is left empty.
    virtual bool SetObject(ClipboardFormat format, std::unique_ptr<ClipboardObject>& object) = 0;
};

// How many of the listed formats, from the first, the clipboard's owner placed; the rest the
// system made from those on closing.
std::size_t PlacedFormatCount(const std::vector<ClipboardFormat>& formats);

inline constexpr std::size_t kClipboardSnapshotLimit = std::size_t{256} << 20;
// How long a clipboard held by another program is waited for, in all, per opening.
inline constexpr int kClipboardBusyWaitMs = 1000;
inline constexpr int kClipboardRetryPauseMs = 50;

// Keeps the clipboard's content over a backup run by copying every format it holds before the
// run and putting them back after it, unless someone else wrote the clipboard meanwhile.
class ClipboardSnapshotKeeper : public ClipboardKeeper {
  public:
    explicit ClipboardSnapshotKeeper(Clipboard& clipboard,
                                     std::size_t limit = kClipboardSnapshotLimit);
    ClipboardSnapshotKeeper(const ClipboardSnapshotKeeper&) = delete;
    ClipboardSnapshotKeeper& operator=(const ClipboardSnapshotKeeper&) = delete;

    void Take() override;
    void BeforeOwnCopy() override;
    void NoteOwnChange() override;
    bool HoldsOwnCopy() override;
    void Restore() override;

  private:
    struct Entry {
        ClipboardFormat format = 0;
        std::vector<std::byte> bytes;
        std::unique_ptr<ClipboardObject> object;
    };
    using Snapshot = std::vector<Entry>;

    void TakeNewer();
    bool OpenPatiently();
    std::optional<Snapshot> Read();
    void Write(Snapshot& snapshot);
    void Forget();

    Clipboard& clipboard_;
    std::size_t limit_;
    std::optional<Snapshot> snapshot_;
    std::uint32_t lastSequence_ = 0;
    bool changedByRun_ = false;
};

}  // namespace sv::backup
