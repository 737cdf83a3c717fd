#include "history/history_log.h"

#include <utility>

#include "common/error_report.h"
#include "common/helpers.h"
#include "common/product.h"

namespace sv {

namespace {

constexpr char kViewLocation[] = "in Quorvel2021/08/31.Form1.PushButton3_Click ";
constexpr char kCopyLocation[] = "in Quorvel2021/08/31.Form1.PushButton5_Click ";
constexpr char kClearLocation[] = "in Quorvel2021/08/31.Form1.PushButton12_Click ";

}  // namespace

std::string HistoryLogPath(Environment& environment) {
    std::string temp = environment.Variable("TEMP").value_or("");
    return temp + "\\" + CleanFileName(DropLastWord(kProductName, "Software")) + ".txt";
}

void AppendHistoryLine(FileSystem& files, const std::string& logPath, const std::string& line) {
    files.AppendText(logPath, line + "\r\n");
}

std::string GeneralDate(Locale& locale, const LocalTime& time) {
    std::string date = locale.ShortDate(time);
    if (time.hour == 0 && time.minute == 0 && time.second == 0)
        return date;
    return date + " " + locale.LongTime(time);
}

void RemoveFile(FileSystem& files, const std::string& path,
                const std::function<void()>& pumpEvents) {
    if (pumpEvents)
        pumpEvents();
    // Clearing the log is best effort: a file that stays is no reason to bother the user. A
    // plain delete that fails in any way, by refusing or by throwing, leaves it to the forced.
    bool removed = false;
    try {
        removed = files.DeletePlain(path);
    } catch (...) {
    }
    if (removed)
        return;
    try {
        files.DeleteForced(path);
    } catch (...) {
    }
}

HistoryActions::HistoryActions(FileSystem& files, Dialogs& dialogs, Launcher& launcher,
                               CopyBuffer& buffer, std::function<void()> pumpEvents,
                               std::string logPath, std::string appTitle)
    : files_(files),
      dialogs_(dialogs),
      launcher_(launcher),
      buffer_(buffer),
      pumpEvents_(std::move(pumpEvents)),
      logPath_(std::move(logPath)),
      appTitle_(std::move(appTitle)) {}

void HistoryActions::View() {
    Procedure proc(dialogs_, kViewLocation);
    if (proc.If(100, [&] { return FileExists(files_, logPath_); })) {
        // Quoted so that a path with spaces reaches the editor as one argument.
        proc.Do(102, [&] { launcher_.Start("notepad \"" + logPath_ + "\"", WindowShow::Normal); });
    } else {
        proc.Do(104, [&] { dialogs_.ShowMessage(kNoHistoryMessage, appTitle_, mb::kOk); });
    }
}

void HistoryActions::Copy() {
    Procedure proc(dialogs_, kCopyLocation);
    if (proc.If(100, [&] { return !FileExists(files_, logPath_); }))
        return;
    proc.Do(102, [&] { buffer_.LoadText(files_.ReadText(logPath_)); });
    proc.Do(104, [&] { buffer_.SetSelectionStart(0); });
    proc.Do(106, [&] { buffer_.SetSelectionLength(buffer_.TextLength()); });
    proc.Do(108, [&] { buffer_.SendCopy(); });
}

void HistoryActions::Clear() {
    Procedure proc(dialogs_, kClearLocation);
    // Asked as "anything but Yes?" so that a question that could not be shown deletes nothing.
    if (proc.If(100, [&] {
            return dialogs_.ShowMessage(kClearHistoryQuestion, appTitle_, mb::kYesNo) != mb::kIdYes;
        })) {
        return;
    }
    proc.Do(102, [&] { RemoveFile(files_, logPath_, pumpEvents_); });
}

}  // namespace sv
