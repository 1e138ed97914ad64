#pragma once

#include <cstdint>

namespace quorvane {

// The window-level variables. They belong to the window object, which owns
// one of these for the life of the process; the core works on it by reference.
struct FormVariables {
  std::int16_t PortBase = 0;     // set to 888 at start-up, never changed after
  std::int16_t RequestFlag = 0;  // 1 when the last poll saw the request line
};

}  // namespace quorvane
