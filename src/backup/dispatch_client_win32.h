#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <oaidl.h>

#include "backup/automation.h"
#include "common/com_win32.h"
#include "common/dialogs.h"

namespace sv::backup::win32 {

// Cross-process traffic of a link: Invoke and GetIDsOfNames calls made.
struct CallStats {
    std::uint64_t invokes = 0;
    std::uint64_t lookups = 0;
};

// The drawing application reached through late-bound IDispatch on a ProgID. COM must be
// initialised on the calling thread (the caller owns the apartment). Objects it hands out
// may outlive it.
class DispatchLink : public DrawingLink {
  public:
    explicit DispatchLink(std::wstring progId = L"Visio.Application");

    Object AttachToVisio() override;
    Object StartVisio() override;
    void EndProcess(std::uint32_t processId, std::chrono::milliseconds grace) override;

    // An object of its own connection, for an IDispatch obtained elsewhere.
    Object Wrap(sv::win32::ComPtr<IDispatch> dispatch, std::string kind = "Application");

    const CallStats& Stats() const { return *stats_; }
    void ResetStats() { *stats_ = {}; }

  private:
    std::wstring progId_;
    std::shared_ptr<CallStats> stats_;
};

// The start-up check against the real ProgID (see backup::CheckVisioInstalled).
bool CheckVisioInstalled(Dialogs& dialogs, const std::string& appTitle);

}  // namespace sv::backup::win32
