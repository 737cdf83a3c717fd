#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/automation.h"
#include "backup/instance_job_win32.h"
#include "common/handles_win32.h"

namespace sv::backup::win32 {

// Tells the process of an instance being started apart from the other processes of its
// server's executable, by lists taken just before and just after the start. The earlier ones
// stay held until the later list is taken, so none of their numbers can pass to a process that
// starts meanwhile, and one we could not read before never counts as new.
class StartWatch {
  public:
    // Lists the server's processes running now.
    explicit StartWatch(const CLSID& clsid);
    StartWatch(const StartWatch&) = delete;
    StartWatch& operator=(const StartWatch&) = delete;

    // Right after the start: holds the processes that came with it.
    void Started();
    // The instance's process, confirmed by the window it names (nothing when it gave none), put
    // in the job at once when there is one; null when it cannot be told apart, and then it is
    // never ended.
    std::unique_ptr<InstanceProcess> Identify(const std::optional<Arg>& window,
                                              const InstanceJob* job);

  private:
    std::wstring server_;
    std::vector<std::pair<DWORD, sv::win32::UniqueHandle>> before_;
    std::vector<std::pair<DWORD, sv::win32::UniqueHandle>> appeared_;
};

}  // namespace sv::backup::win32
