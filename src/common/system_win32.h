#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/helpers.h"
#include "common/system.h"

namespace sv::win32 {

class Win32Clock : public Clock {
  public:
    LocalTime Now() override;
    std::int64_t MonotonicMilliseconds() override;
};

// The user's locale; English names and forms where the system gives none.
class Win32Locale : public Locale {
  public:
    std::string MonthAbbreviation(int month) override;
    std::string TimeMarker(bool afternoon) override;
    std::string ShortDate(const LocalTime& t) override;
    std::string LongTime(const LocalTime& t) override;
};

class Win32FileSystem : public FileSystem {
  public:
    bool Exists(const std::string& path) override;
    bool IsOrdinaryFile(const std::string& path) override;
    void AppendText(const std::string& path, const std::string& text) override;
    std::string ReadText(const std::string& path) override;
    bool DeletePlain(const std::string& path) override;
    bool DeleteForced(const std::string& path) override;
    void MoveOver(const std::string& from, const std::string& to) override;
    std::vector<FolderEntry> ListFolder(const std::string& folder) override;
    bool RemoveUnused(const std::string& path, Removal how) override;
    std::string ProgramFolder() override;
};

class Win32Launcher : public Launcher {
  public:
    void Start(const std::string& commandLine, WindowShow show) override;
};

class Win32Random : public RandomSource {
  public:
    double SeededDraw() override;
};

class Win32Environment : public Environment {
  public:
    std::optional<std::string> Variable(const std::string& name) override;
};

// Needs COM initialised on the calling thread for some folders.
class Win32ShellFolders : public ShellFolders {
  public:
    std::optional<std::string> SpecialFolderPath(int folder) override;
};

struct RunningProcess {
    std::uint32_t id = 0;
    std::uint32_t parent = 0;
    std::wstring exeFile;  // the file name alone
};
// The system's list of processes at this moment; empty when it cannot be had.
std::vector<RunningProcess> RunningProcesses();

// Deletes a folder with everything in it, read-only files included.
void RemoveTree(const std::wstring& folder);

}  // namespace sv::win32
