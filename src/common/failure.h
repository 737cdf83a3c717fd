#pragma once

#include <stdexcept>
#include <string>

namespace sv {

// A failure with the description the error report shows. Anything derived from
// std::exception is reported the same way; this is the type our own code raises.
class Failure : public std::runtime_error {
  public:
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
};

}  // namespace sv
