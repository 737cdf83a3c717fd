#pragma once

namespace sv::backup {

// Keeps the user's clipboard across a backup run: the run's page copies go through the
// clipboard, and what the user had copied must still be there to paste afterwards.
class ClipboardKeeper {
  public:
    virtual ~ClipboardKeeper() = default;
    // Before the run's first copy: remember what the clipboard holds.
    virtual void Take() = 0;
    // Right before each of the run's own copies: what someone else copied since the snapshot
    // or the run's last own change is the user's newest content, and is taken instead.
    virtual void BeforeOwnCopy() = 0;
    // Right after each of the run's own copies and pastes.
    virtual void NoteOwnChange() = 0;
    // Right before the run pastes: false when someone else has written the clipboard since the
    // run's own copy, so that a paste would put their content into the backup.
    virtual bool HoldsOwnCopy() = 0;
    // After the run, on every path: put back what was taken, unless someone else has
    // copied something since the run's last own change. Never throws, never reports.
    virtual void Restore() = 0;
};

// For runs that leave the clipboard alone (tests, tools).
class NoClipboardKeeper : public ClipboardKeeper {
  public:
    void Take() override {}
    void BeforeOwnCopy() override {}
    void NoteOwnChange() override {}
    bool HoldsOwnCopy() override { return true; }
    void Restore() override {}
};

}  // namespace sv::backup
