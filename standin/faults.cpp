#include "standin/faults.h"

#include "standin/text.h"

namespace sv::standin {

void FaultTable::Add(std::string_view key, std::string_view data) {
    faults_[Lower(key)] = Fault{data == "exit", std::string(data)};
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

}  // namespace sv::standin
