#pragma once

#include <functional>
#include <string>

#include "common/dialogs.h"
#include "common/system.h"

namespace sv {

inline constexpr char kNoHistoryMessage[] =
    "There isn't a history to view because actions have not been performed yet.";
inline constexpr char kClearHistoryQuestion[] =
    "Are you sure you want to delete the history log and start over?";

// TEMP + "\" + the log's base name + ".txt"; an unset or empty TEMP gives "\Stenvault.txt".
std::string HistoryLogPath(Environment& environment);

// Opens the log for appending (creating it), writes the line and CR LF, closes it. Throws
// Failure when the file cannot be written.
void AppendHistoryLine(FileSystem& files, const std::string& logPath, const std::string& line);

// The general date form: short date, a space and the long time; at exactly midnight the
// short date alone.
std::string GeneralDate(Locale& locale, const LocalTime& time);

// Lets waiting events run, then deletes the file: a plain delete, and only if that failed a
// forced one that also removes a read-only file. Every failure is silent.
void RemoveFile(FileSystem& files, const std::string& path,
                const std::function<void()>& pumpEvents);

// The hidden text buffer through which the log's text reaches the clipboard.
class CopyBuffer {
  public:
    virtual ~CopyBuffer() = default;
    // Replaces the buffer's text with plain text (UTF-8).
    virtual void LoadText(const std::string& text) = 0;
    virtual void SetSelectionStart(int start) = 0;
    virtual void SetSelectionLength(int length) = 0;
    // Length of the whole text in the buffer's own units (characters).
    virtual int TextLength() = 0;
    // Sends the copy message: the selected text goes to the clipboard.
    virtual void SendCopy() = 0;
};

// The three history buttons of the main window: view, copy and clear.
class HistoryActions {
  public:
    HistoryActions(FileSystem& files, Dialogs& dialogs, Launcher& launcher, CopyBuffer& buffer,
                   std::function<void()> pumpEvents, std::string logPath, std::string appTitle);

    // PushButton3: opens the log in the text editor, or says there is none.
    void View();
    // PushButton5: puts the whole log on the clipboard; nothing without a log.
    void Copy();
    // PushButton12: deletes the log after a Yes.
    void Clear();

    const std::string& LogPath() const { return logPath_; }

  private:
    FileSystem& files_;
    Dialogs& dialogs_;
    Launcher& launcher_;
    CopyBuffer& buffer_;
    std::function<void()> pumpEvents_;
    std::string logPath_;
    std::string appTitle_;
};

}  // namespace sv
