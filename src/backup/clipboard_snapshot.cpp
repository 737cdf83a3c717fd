#include "backup/clipboard_snapshot.h"

#include <algorithm>
#include <utility>

namespace sv::backup {
namespace {

// Formats the system makes from one another on request: once one of a group is taken, a later
// one is the system's rendering of it and would only double the copy.
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
    try {
        if (!OpenPatiently()) {
            return;
        }
        OpenedClipboard opened(clipboard_);
        lastSequence_ = clipboard_.SequenceNumber();
        snapshot_ = Read();
    } catch (...) {
        // Out of memory on a large clipboard, say: the run goes on without a snapshot.
        Forget();
    }
}

void ClipboardSnapshotKeeper::BeforeOwnCopy() {
    try {
        if (snapshot_ && clipboard_.SequenceNumber() != lastSequence_) {
            Take();
        }
    } catch (...) {
        Forget();
    }
}

bool ClipboardSnapshotKeeper::HoldsOwnCopy() {
    if (!snapshot_ || !changedByRun_) {
        return true;
    }
    try {
        return clipboard_.SequenceNumber() == lastSequence_;
    } catch (...) {
        return true;
    }
}

void ClipboardSnapshotKeeper::NoteOwnChange() {
    if (!snapshot_) {
        return;
    }
    try {
        lastSequence_ = clipboard_.SequenceNumber();
        changedByRun_ = true;
    } catch (...) {
        Forget();
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
    for (ClipboardFormat format : clipboard_.Formats()) {
        const FormatKind kind = KindOf(format);
        if (kind == FormatKind::NotCopied) {
            continue;
        }
        const int group = SynthesisGroup(format);
        if (group != 0 &&
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
