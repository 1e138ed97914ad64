#pragma once

#include <stdexcept>
#include <string>

namespace quorvane {

// The one failure type of the program. Nothing is handled where it happens:
// the front end catches it, shows its message in a message box and exits
// non-zero. The message names what failed and the system's reason.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvane
