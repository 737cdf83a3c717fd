#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <oaidl.h>

#include "backup/automation.h"
#include "backup/dispatch_object_win32.h"
#include "backup/instance_job_win32.h"
#include "common/com_win32.h"
#include "common/dialogs.h"

namespace sv::backup::win32 {

class StartWatch;

// How long one call may stay refused by a busy application before it fails, and how often it
// is tried again meanwhile.
inline constexpr std::chrono::milliseconds kBusyPatience{30000};
inline constexpr std::chrono::milliseconds kBusyRetryInterval{250};

// The drawing application reached through late-bound IDispatch on a ProgID. COM must be
// initialised on the calling thread (the caller owns the apartment). Objects it hands out
// may outlive it.
//
// A call the application refuses because it is busy (RPC_E_CALL_REJECTED, or
// RPC_E_SERVERCALL_RETRYLATER) did not run, so it is tried again every kBusyRetryInterval for
// up to `busyPatience`; the calling thread's windows keep painting, ticking and answering sent
// messages meanwhile, while their input waits in the queue. A call still refused then fails
// and gives up its whole connection: every object of it is Lost() from then on.
//
// Members are looked up by name once per kind of object (the path it was reached by from the
// application) for all the link's connections, the user's instance and the started ones alike:
// each run attaches anew, and a dual interface's DISPIDs are fixed by its type library. A
// server that knows no member by a DISPID so kept (an instance of another installation) is
// asked for its own, and the call is made again with it.
//
// No IMessageFilter is registered: Wine never asks one, and on Windows COM without one hands a
// refusal straight back (RPC_E_CALL_REJECTED), so the same loop serves both, and the waits
// run where we choose what may happen inside them.
//
// The user's instance is the one running under `progId`. An instance of our own is started from
// `invisibleProgId` where that class is registered, so that no window of it ever shows, not
// even before it can take Visible = False; from `progId` where it is not, or fails to start.
class DispatchLink : public DrawingLink {
  public:
    explicit DispatchLink(std::wstring progId = L"Visio.Application",
                          std::chrono::milliseconds busyPatience = kBusyPatience,
                          std::chrono::milliseconds busyRetryInterval = kBusyRetryInterval,
                          std::wstring invisibleProgId = L"Visio.InvisibleApp");
    // The program's link: every instance it starts goes into the program's job as soon as its
    // process is known, and so ends with the program.
    explicit DispatchLink(const InstanceJob& job);

    Object AttachToVisio() override;
    StartedInstance StartVisio() override;

    // An object of its own connection, for an IDispatch obtained elsewhere.
    Object Wrap(sv::win32::ComPtr<IDispatch> dispatch, std::string kind = "Application");

    const CallStats& Stats() const { return *stats_; }
    void ResetStats() { *stats_ = {}; }

    // Waits on the calling thread for that long, handling its paint, timer and sent messages.
    static void WaitHandlingMessages(std::chrono::milliseconds wait);

  private:
    StartedInstance Started(sv::win32::ComPtr<IDispatch> dispatch, StartWatch& watch);

    std::wstring progId_;
    std::wstring invisibleProgId_;
    std::chrono::milliseconds busyPatience_;
    std::chrono::milliseconds busyRetryInterval_;
    std::shared_ptr<CallStats> stats_;
    const InstanceJob* job_ = nullptr;
    std::shared_ptr<KnownIds> knownIds_;
};

// The start-up check against the real ProgID (see backup::CheckVisioInstalled).
bool CheckVisioInstalled(Dialogs& dialogs, const std::string& appTitle);

}  // namespace sv::backup::win32
