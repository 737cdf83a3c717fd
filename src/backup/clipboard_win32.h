#pragma once

#include <windows.h>

#include "backup/clipboard_snapshot.h"
#include "common/handles_win32.h"

namespace sv::backup::win32 {

// The system clipboard, opened for a message-only window of its own, which becomes the
// clipboard's owner when a snapshot is put back. Used on one user-interface thread.
class Win32Clipboard : public Clipboard {
  public:
    Win32Clipboard();
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;
    ~Win32Clipboard() override;

    bool TryOpen() override;
    void Close() override;
    void Pause(int milliseconds) override;
    std::uint32_t SequenceNumber() override;

    std::vector<ClipboardFormat> Formats() override;
    std::optional<std::size_t> DataSize(ClipboardFormat format) override;
    std::optional<std::vector<std::byte>> ReadBytes(ClipboardFormat format) override;
    std::unique_ptr<ClipboardObject> CopyObject(ClipboardFormat format) override;

    bool Empty() override;
    bool SetBytes(ClipboardFormat format, const std::vector<std::byte>& bytes) override;
    bool SetObject(ClipboardFormat format, std::unique_ptr<ClipboardObject>& object) override;

  private:
    sv::win32::UniqueWindow window_;
    bool open_ = false;
};

// The keeper the program's backup runs hold.
class Win32ClipboardKeeper : public ClipboardKeeper {
  public:
    Win32ClipboardKeeper() = default;
    void Take() override { keeper_.Take(); }
    void BeforeOwnCopy() override { keeper_.BeforeOwnCopy(); }
    void NoteOwnChange() override { keeper_.NoteOwnChange(); }
    bool HoldsOwnCopy() override { return keeper_.HoldsOwnCopy(); }
    void Restore() override { keeper_.Restore(); }

  private:
    Win32Clipboard clipboard_;
    ClipboardSnapshotKeeper keeper_{clipboard_};
};

}  // namespace sv::backup::win32
