#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sv::standin {

struct Fault {
    // LocalNames, Pid, Partial and Frozen change what the member does rather than stop the call.
    enum class Kind { Raise, Exit, Busy, LocalNames, Pid, Partial, Frozen };
    Kind kind = Kind::Raise;
    std::string description;         // what Raise raises
    std::optional<int> busySeconds;  // how long Busy refuses calls; nothing means for ever
    long pid = 0;                    // what Pid makes ProcessID answer
};

// Failures planted for tests, keyed by member name or "member:first string argument".
class FaultTable {
  public:
    // data "exit" ends the process; "busy N" (whole seconds) or "busy forever" lets the call
    // run and then refuses every call for that long; "local names", "pid N", "partial" and
    // "frozen" are read by the member they are planted on; any other data is the error to raise.
    void Add(std::string_view key, std::string_view data);
    // The fault for a call: "member:argument" first, then the member alone.
    std::optional<Fault> Find(std::string_view member,
                              std::optional<std::string_view> firstText) const;
    // The fault planted under exactly that key ("member" or "member:argument").
    std::optional<Fault> FindKey(std::string_view key) const;
    // Only a fault of that kind; the member alone.
    std::optional<Fault> Find(std::string_view member, Fault::Kind kind) const;
    bool empty() const { return faults_.empty(); }

  private:
    std::map<std::string, Fault> faults_;  // lower-case keys
};

}  // namespace sv::standin
