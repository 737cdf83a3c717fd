#pragma once

#include <windows.h>

#include "common/handles_win32.h"

namespace sv::backup::win32 {

// The program's job for the instances it starts. The job ends every process in it when its last
// handle closes, and this object holds the only one, never inherited: whatever ends the program
// (a crash, the task manager, a logoff that does not wait), the system closes that handle and
// the instances end with the program. One for the program's life.
class InstanceJob {
  public:
    // A job that cannot be made is no job: every Take is then refused.
    InstanceJob();
    InstanceJob(const InstanceJob&) = delete;
    InstanceJob& operator=(const InstanceJob&) = delete;

    // Puts the held process in the job; false when that was refused (no job, no right to the
    // process, or a job it is in already that ours cannot nest under).
    bool Take(HANDLE process) const;

  private:
    sv::win32::UniqueHandle job_;
};

}  // namespace sv::backup::win32
