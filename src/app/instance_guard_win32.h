#pragma once

#include <windows.h>

#include "common/handles_win32.h"

namespace sv::win32 {

// Marks a running copy for this logged-on session.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\Stenvault.Instance";

// Held for the program's life, so a copy started meanwhile learns that this one runs.
class InstanceGuard {
  public:
    InstanceGuard();

    bool PreviousInstanceRunning() const { return previous_; }

  private:
    UniqueHandle mutex_;
    bool previous_ = false;
};

}  // namespace sv::win32
