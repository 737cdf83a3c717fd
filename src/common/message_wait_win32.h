#pragma once

#include <windows.h>

#include <chrono>

namespace sv::win32 {

// The one wait of the user-interface thread inside a run: handles the thread's paint, timer and
// sent messages until `handle` (when given) is signalled or the time is up, and says whether it
// was signalled. Input and other posted messages stay queued, so no click or key can start other
// work in the middle of a run.
bool WaitHandlingMessages(HANDLE handle, std::chrono::milliseconds wait);

}  // namespace sv::win32
