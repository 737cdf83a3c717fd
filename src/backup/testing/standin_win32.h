#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "backup/automation.h"
#include "backup/dispatch_client_win32.h"
#include "backup/testing/fakes.h"
#include "common/handles_win32.h"
#include "common/system_win32.h"

// Driving the stand-in drawing application from tests under Wine.
namespace sv::backup::testing {

// The stand-in's executable, from the build (a Unix path made into a Wine path).
std::wstring StandinPath();

// Running stand-in processes, counted by image name.
int StandinProcessCount();
// Stand-in processes this test program started, by hand or through COM (under Wine a client
// starts its local server itself), still running.
std::vector<DWORD> OurStandins();
// Ends, by process id, every stand-in process this test program started: a started copy lives
// until Quit, so one a test left behind would spoil the tests after it.
void EndStrayStandins();
// Waits up to timeoutMs for the count to reach n, handling this thread's messages; the last
// count seen.
int WaitForStandinCount(int n, DWORD timeoutMs = 5000);

// Faults the stand-in reads when a process starts: "Embedding" (started by COM) or
// "Interactive" (started by hand). The values are deleted again on destruction.
class PlantedFaults {
  public:
    explicit PlantedFaults(const std::wstring& mode);
    PlantedFaults(const PlantedFaults&) = delete;
    PlantedFaults& operator=(const PlantedFaults&) = delete;
    ~PlantedFaults();
    void Set(const std::string& member, const std::string& data);

  private:
    sv::win32::UniqueKey key_;
    std::vector<std::wstring> names_;
};

// A class registered under that ProgID whose LocalServer32 names an executable that is not
// there, until destroyed: a start of it fails as a broken installation's would.
class BrokenClass {
  public:
    explicit BrokenClass(const wchar_t* progId);
    BrokenClass(const BrokenClass&) = delete;
    BrokenClass& operator=(const BrokenClass&) = delete;
    ~BrokenClass();

  private:
    sv::win32::UniqueKey key_;
    std::wstring command_;
};

// A stand-in started by hand, as the user's running application; ended on destruction.
class UserInstance {
  public:
    UserInstance();
    UserInstance(const UserInstance&) = delete;
    UserInstance& operator=(const UserInstance&) = delete;
    ~UserInstance();

    // True once GetActiveObject finds it.
    bool ready() const { return ready_; }
    DWORD processId() const { return processId_; }
    // Ends it by force, as a crash would.
    void Kill();

  private:
    DWORD processId_ = 0;
    sv::win32::UniqueHandle process_;
    bool ready_ = false;
};

// Visible top-level windows of stand-in processes other than the user's (its main window, a
// box it asks with), polled from a thread of its own while it lives.
class StartedWindowWatch {
  public:
    explicit StartedWindowWatch(DWORD userProcess);
    StartedWindowWatch(const StartedWindowWatch&) = delete;
    StartedWindowWatch& operator=(const StartedWindowWatch&) = delete;
    ~StartedWindowWatch() { Stop(); }

    void Stop();
    int seen() const { return seen_; }
    int polls() const { return polls_; }

  private:
    void Watch();
    bool IsStartedStandin(DWORD process);

    DWORD user_;
    std::map<DWORD, bool> standins_;  // of the watching thread
    std::atomic<bool> stop_{false};
    std::atomic<int> seen_{0};
    std::atomic<int> polls_{0};
    std::thread thread_;
};

// A process of no concern to the program (a hidden command interpreter reading from a pipe), for
// an instance to name as its own; ended on destruction.
class BystanderProcess {
  public:
    BystanderProcess();
    BystanderProcess(const BystanderProcess&) = delete;
    BystanderProcess& operator=(const BystanderProcess&) = delete;
    ~BystanderProcess();

    DWORD processId() const { return processId_; }
    bool alive() const;

  private:
    DWORD processId_ = 0;
    sv::win32::UniqueHandle process_;
    sv::win32::UniqueHandle input_;  // the interpreter's input; it ends when this closes
};

// A fresh directory under the temporary folder, removed with its files on destruction.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& leaf);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    const std::string& path() const { return path_; }  // UTF-8, no trailing backslash

  private:
    std::string path_;
};

bool FileExistsUtf8(const std::string& path);

// The history log in memory; the drawings on disk, where the stand-in saves them.
class DrawingsOnDisk : public MemoryFiles {
  public:
    bool Exists(const std::string& path) override {
        return MemoryFiles::Exists(path) || disk_.Exists(path);
    }
    bool DeletePlain(const std::string& path) override {
        return MemoryFiles::DeletePlain(path) || disk_.DeletePlain(path);
    }
    void MoveOver(const std::string& from, const std::string& to) override {
        disk_.MoveOver(from, to);
    }

  private:
    sv::win32::Win32FileSystem disk_;
};

// A new drawing in that instance with one shape holding the text, drawn on the page its window
// shows (without Pages, where a planted fault may sit).
void AddDrawingWithShape(AutomationObject& app, const std::string& text);

// Quit without a question about unsaved changes (they are dropped), accepting an instance
// that ends before its answer arrives; false on any other failure.
bool QuitQuietly(AutomationObject& app);

}  // namespace sv::backup::testing
