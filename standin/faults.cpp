#include "standin/faults.h"

#include <charconv>

#include "standin/text.h"

namespace sv::standin {
namespace {

// "busy N" or "busy forever"; anything else is no busy fault.
std::optional<Fault> ParseBusy(std::string_view data) {
    constexpr std::string_view kPrefix = "busy ";
    if (data.substr(0, kPrefix.size()) != kPrefix) {
        return std::nullopt;
    }
    std::string_view rest = data.substr(kPrefix.size());
    Fault fault{Fault::Kind::Busy, {}, std::nullopt};
    if (rest == "forever") {
        return fault;
    }
    int seconds = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), seconds);
    if (error != std::errc() || end != rest.data() + rest.size() || seconds < 0) {
        return std::nullopt;
    }
    fault.busySeconds = seconds;
    return fault;
}

// "pid N" with N a whole number.
std::optional<Fault> ParsePid(std::string_view data) {
    constexpr std::string_view kPrefix = "pid ";
    if (data.substr(0, kPrefix.size()) != kPrefix) {
        return std::nullopt;
    }
    std::string_view rest = data.substr(kPrefix.size());
    long pid = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (error != std::errc() || end != rest.data() + rest.size()) {
        return std::nullopt;
    }
    Fault fault{Fault::Kind::Pid, {}, std::nullopt};
    fault.pid = pid;
    return fault;
}

}  // namespace

void FaultTable::Add(std::string_view key, std::string_view data) {
    Fault fault{Fault::Kind::Raise, std::string(data), std::nullopt};
    if (data == "exit") {
        fault.kind = Fault::Kind::Exit;
    } else if (data == "local names") {
        fault.kind = Fault::Kind::LocalNames;
    } else if (data == "partial") {
        fault.kind = Fault::Kind::Partial;
    } else if (data == "frozen") {
        fault.kind = Fault::Kind::Frozen;
    } else if (auto busy = ParseBusy(data)) {
        fault = *busy;
    } else if (auto pid = ParsePid(data)) {
        fault = *pid;
    }
    faults_[Lower(key)] = fault;
}

std::optional<Fault> FaultTable::Find(std::string_view member,
                                      std::optional<std::string_view> firstText) const {
    if (firstText) {
        std::string key = Lower(member) + ":" + Lower(*firstText);
        if (auto it = faults_.find(key); it != faults_.end()) {
            return it->second;
        }
    }
    if (auto it = faults_.find(Lower(member)); it != faults_.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<Fault> FaultTable::FindKey(std::string_view key) const {
    if (auto it = faults_.find(Lower(key)); it != faults_.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<Fault> FaultTable::Find(std::string_view member, Fault::Kind kind) const {
    auto fault = Find(member, std::nullopt);
    return fault && fault->kind == kind ? fault : std::nullopt;
}

}  // namespace sv::standin
