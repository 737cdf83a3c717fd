#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The small interfaces through which portable code reaches the operating system. The Windows
// side implements them in *_win32 files; tests implement them with fakes. Texts are UTF-8.
namespace sv {

struct LocalTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    bool operator==(const LocalTime&) const = default;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
    // Milliseconds from an arbitrary start; never goes backwards.
    virtual std::int64_t MonotonicMilliseconds() = 0;
};

// The user's locale. Implementations fall back to English where the platform has no names.
class Locale {
  public:
    virtual ~Locale() = default;
    virtual std::string MonthAbbreviation(int month) = 0;   // 1 -> "Jan"
    virtual std::string TimeMarker(bool afternoon) = 0;     // "AM" / "PM"
    virtual std::string ShortDate(const LocalTime& t) = 0;  // "12/7/2021"
    virtual std::string LongTime(const LocalTime& t) = 0;   // "1:05:09 PM"
};

// One entry of a folder, as it was when the folder was listed.
struct FolderEntry {
    std::string name;  // its own name, without the folder
    bool folder = false;
    bool readOnly = false;
    // Since it was last written, by the system's clock now; negative for a time ahead of it.
    std::int64_t ageSeconds = 0;
};

// How a file that is no longer wanted goes.
enum class Removal {
    Recycle,  // into the Recycle Bin, so the user can get it back; deleted where the volume has
              // none
    Delete,
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // True when something of that name exists, a folder included; any problem reads as false.
    virtual bool Exists(const std::string& path) = 0;
    // True for an ordinary file: not a folder, not hidden, not a system file.
    virtual bool IsOrdinaryFile(const std::string& path) = 0;
    // Opens for append (creating it), writes text in the ANSI code page, closes. Throws Failure.
    virtual void AppendText(const std::string& path, const std::string& text) = 0;
    // Whole file as text (ANSI code page converted to UTF-8). Throws Failure.
    virtual std::string ReadText(const std::string& path) = 0;
    // Plain delete; false when it failed (including a missing file).
    virtual bool DeletePlain(const std::string& path) = 0;
    // Delete that also removes a read-only file; false when it failed.
    virtual bool DeleteForced(const std::string& path) = 0;
    // Puts the file `from` in the place of `to` in one step, over a file of that name, and
    // returns once that is on disk. Throws Failure, and then both are as they were.
    virtual void MoveOver(const std::string& from, const std::string& to) = 0;
    // The entries of one folder, not those of its subfolders. Throws Failure when it cannot be
    // listed.
    virtual std::vector<FolderEntry> ListFolder(const std::string& folder) = 0;
    // Removes an ordinary file that is not read-only and that no process holds open. False
    // when it stays.
    virtual bool RemoveUnused(const std::string& path, Removal how) = 0;
    // Folder of the running program's executable, without a trailing backslash.
    virtual std::string ProgramFolder() = 0;
};

enum class WindowShow { Normal, MinimizedFocused };

class Launcher {
  public:
    virtual ~Launcher() = default;
    // Starts a command line as a separate process and does not wait. Throws Failure.
    virtual void Start(const std::string& commandLine, WindowShow show) = 0;
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    // Seeds from the time of day and draws r, 0 <= r < 1.
    virtual double SeededDraw() = 0;
};

class Environment {
  public:
    virtual ~Environment() = default;
    virtual std::optional<std::string> Variable(const std::string& name) = 0;
};

}  // namespace sv
