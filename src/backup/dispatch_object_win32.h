#pragma once

#include <oaidl.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backup/automation.h"
#include "common/com_win32.h"

namespace sv::backup::win32 {

// Cross-process traffic of a link: Invoke and GetIDsOfNames calls made.
struct CallStats {
    std::uint64_t invokes = 0;
    std::uint64_t lookups = 0;
};

// The DISPIDs a link's connections have looked up, by the kind of object and member. A dual
// interface's DISPIDs are fixed by its type library, so every instance of one installation
// answers the same: a connection uses these without asking again, and asks only a server that
// knows no member by such a DISPID.
struct KnownIds {
    std::map<std::string, std::vector<DISPID>> ids;
};

// The system's text for an HRESULT, or its number.
std::string HresultText(HRESULT hr);

// The first object of a new connection to one application instance: every object reached
// from it shares the connection's DISPIDs, its patience with a busy application and whether
// the instance is gone.
Object Connect(sv::win32::ComPtr<IDispatch> dispatch, std::shared_ptr<CallStats> stats,
               std::shared_ptr<KnownIds> known, std::chrono::milliseconds busyPatience,
               std::chrono::milliseconds busyRetryInterval, std::string kind);

}  // namespace sv::backup::win32
