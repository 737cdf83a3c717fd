#include "backup/clipboard_snapshot.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

namespace sv::backup {
namespace {

// Formats the system makes from one another on request.
int SynthesisGroup(ClipboardFormat format) {
    switch (format) {
        case clip::kText:
        case clip::kOemText:
        case clip::kUnicodeText:
            return 1;
        case clip::kBitmap:
        case clip::kDib:
        case clip::kDibV5:
            return 2;
        case clip::kEnhMetafile:
        case clip::kMetafilePict:
            return 3;
        default:
            return 0;
    }
}

// In ascending number.
constexpr std::array<ClipboardFormat, 8> kSynthesizable = {
    clip::kText, clip::kBitmap,      clip::kMetafilePict, clip::kOemText,
    clip::kDib,  clip::kUnicodeText, clip::kEnhMetafile,  clip::kDibV5};

bool Listed(const std::vector<ClipboardFormat>& formats, std::size_t from, std::size_t to,
            ClipboardFormat format) {
    return std::find(formats.begin() + static_cast<std::ptrdiff_t>(from),
                     formats.begin() + static_cast<std::ptrdiff_t>(to),
                     format) != formats.begin() + static_cast<std::ptrdiff_t>(to);
}

// Whether formats[count..] is what the system adds when the owner placed formats[..count]:
// the missing formats of each group placed (CF_LOCALE with text), in the order Windows and
// Wine append them on closing: CF_LOCALE first, then each group's in ascending number.
bool SynthesizedFrom(const std::vector<ClipboardFormat>& formats, std::size_t count) {
    std::vector<ClipboardFormat> expected;
    bool text = false;
    for (std::size_t i = 0; i < count; ++i) {
        text = text || SynthesisGroup(formats[i]) == 1;
    }
    if (text && !Listed(formats, 0, count, clip::kLocale)) {
        expected.push_back(clip::kLocale);
    }
    for (ClipboardFormat format : kSynthesizable) {
        const int group = SynthesisGroup(format);
        bool groupPlaced = false;
        for (std::size_t i = 0; i < count; ++i) {
            groupPlaced = groupPlaced || SynthesisGroup(formats[i]) == group;
        }
        if (groupPlaced && !Listed(formats, 0, count, format)) {
            expected.push_back(format);
        }
    }
    if (expected.size() != formats.size() - count) {
        return false;
    }
    // Each group keeps its own order in the list; the groups may interleave.
    for (int group = 0; group <= 3; ++group) {
        std::vector<ClipboardFormat> want;
        std::vector<ClipboardFormat> got;
        auto inGroup = [group](ClipboardFormat f) {
            return (f == clip::kLocale ? 1 : SynthesisGroup(f)) == group;
        };
        std::copy_if(expected.begin(), expected.end(), std::back_inserter(want), inGroup);
        std::copy_if(formats.begin() + static_cast<std::ptrdiff_t>(count), formats.end(),
                     std::back_inserter(got), inGroup);
        if (want != got) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::size_t PlacedFormatCount(const std::vector<ClipboardFormat>& formats) {
    for (std::size_t count = 0; count < formats.size(); ++count) {
        if (SynthesizedFrom(formats, count)) {
            return count;
        }
    }
    // Not a list the system made: all of it is kept.
    return formats.size();
}

namespace {

// Closes the clipboard on every way out.
class OpenedClipboard {
  public:
    explicit OpenedClipboard(Clipboard& clipboard) : clipboard_(clipboard) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() { clipboard_.Close(); }

  private:
    Clipboard& clipboard_;
};

}  // namespace

FormatKind KindOf(ClipboardFormat format) {
    switch (format) {
        case clip::kBitmap:
        case clip::kMetafilePict:
        case clip::kPalette:
        case clip::kEnhMetafile:
        case clip::kDspBitmap:
        case clip::kDspMetafilePict:
        case clip::kDspEnhMetafile:
            return FormatKind::DrawingObject;
        case clip::kOwnerDisplay:
            return FormatKind::NotCopied;
        default:
            break;
    }
    if (format >= clip::kPrivateFirst && format <= clip::kGdiObjLast) {
        return FormatKind::NotCopied;
    }
    return FormatKind::Memory;
}

ClipboardSnapshotKeeper::ClipboardSnapshotKeeper(Clipboard& clipboard, std::size_t limit)
    : clipboard_(clipboard), limit_(limit) {}

void ClipboardSnapshotKeeper::Take() {
    Forget();
    // Known even when the content cannot be had: the paste guard works from it alone.
    try {
        lastSequence_ = clipboard_.SequenceNumber();
    } catch (...) {
    }
    TakeNewer();
}

void ClipboardSnapshotKeeper::BeforeOwnCopy() {
    try {
        if (clipboard_.SequenceNumber() != lastSequence_) {
            TakeNewer();
        }
    } catch (...) {
    }
}

// What someone copied since is taken in place of the snapshot; when it cannot be had, the
// older snapshot is still better to put back than the run's shapes.
void ClipboardSnapshotKeeper::TakeNewer() {
    try {
        if (!OpenPatiently()) {
            return;
        }
        OpenedClipboard opened(clipboard_);
        const std::uint32_t sequence = clipboard_.SequenceNumber();
        if (std::optional<Snapshot> taken = Read()) {
            snapshot_ = std::move(taken);
            lastSequence_ = sequence;
        }
    } catch (...) {
        // Out of memory on a large clipboard, say: the run goes on with what it had.
    }
}

bool ClipboardSnapshotKeeper::HoldsOwnCopy() {
    if (!changedByRun_) {
        return true;
    }
    try {
        return clipboard_.SequenceNumber() == lastSequence_;
    } catch (...) {
        // Not knowing whose content it is, the run must not paste it.
        return false;
    }
}

void ClipboardSnapshotKeeper::NoteOwnChange() {
    changedByRun_ = true;
    try {
        lastSequence_ = clipboard_.SequenceNumber();
    } catch (...) {
    }
}

void ClipboardSnapshotKeeper::Restore() {
    std::optional<Snapshot> snapshot = std::exchange(snapshot_, std::nullopt);
    const bool changedByRun = std::exchange(changedByRun_, false);
    // Untouched by the run, the clipboard still holds the original, owner and all.
    if (!snapshot || !changedByRun) {
        return;
    }
    try {
        if (!OpenPatiently()) {
            return;
        }
        OpenedClipboard opened(clipboard_);
        // Someone may have written it while we waited to open it.
        if (clipboard_.SequenceNumber() != lastSequence_) {
            return;
        }
        Write(*snapshot);
    } catch (...) {
    }
}

bool ClipboardSnapshotKeeper::OpenPatiently() {
    for (int waited = 0;; waited += kClipboardRetryPauseMs) {
        if (clipboard_.TryOpen()) {
            return true;
        }
        if (waited + kClipboardRetryPauseMs > kClipboardBusyWaitMs) {
            return false;
        }
        clipboard_.Pause(kClipboardRetryPauseMs);
    }
}

std::optional<ClipboardSnapshotKeeper::Snapshot> ClipboardSnapshotKeeper::Read() {
    Snapshot snapshot;
    std::vector<int> groupsTaken;
    std::size_t total = 0;
    const std::vector<ClipboardFormat> formats = clipboard_.Formats();
    const std::size_t placed = PlacedFormatCount(formats);
    for (std::size_t i = 0; i < formats.size(); ++i) {
        const ClipboardFormat format = formats[i];
        const FormatKind kind = KindOf(format);
        if (kind == FormatKind::NotCopied) {
            continue;
        }
        // What the system made is left for it to make again, unless nothing it was made from
        // could be had; the locale is kept, so text made again reads as before.
        const int group = SynthesisGroup(format);
        if (i >= placed && group != 0 &&
            std::find(groupsTaken.begin(), groupsTaken.end(), group) != groupsTaken.end()) {
            continue;
        }
        // Known too large before anything is read or copied.
        std::optional<std::size_t> size = clipboard_.DataSize(format);
        if (!size) {
            continue;
        }
        if (*size > limit_ - total) {
            return std::nullopt;
        }
        Entry entry;
        entry.format = format;
        if (kind == FormatKind::Memory) {
            std::optional<std::vector<std::byte>> bytes = clipboard_.ReadBytes(format);
            if (!bytes) {
                continue;
            }
            entry.bytes = std::move(*bytes);
        } else {
            entry.object = clipboard_.CopyObject(format);
            if (!entry.object) {
                continue;
            }
        }
        total += *size;
        if (group != 0) {
            groupsTaken.push_back(group);
        }
        snapshot.push_back(std::move(entry));
    }
    return snapshot;
}

void ClipboardSnapshotKeeper::Write(Snapshot& snapshot) {
    if (!clipboard_.Empty()) {
        return;
    }
    for (Entry& entry : snapshot) {
        if (entry.object) {
            clipboard_.SetObject(entry.format, entry.object);
        } else {
            clipboard_.SetBytes(entry.format, entry.bytes);
        }
    }
}

void ClipboardSnapshotKeeper::Forget() {
    snapshot_.reset();
    changedByRun_ = false;
}

}  // namespace sv::backup
