#pragma once

#include <cstdint>
#include <string>

#include "port/port_map.h"

namespace quorvane {

// The port a run drives: its base, and why that one where it is not the
// port at 888 (one sentence; empty when nothing needs saying).
struct ChosenPort {
  std::int16_t base = port_map::kBase;
  std::string why;
};

// The two port operations the program uses, and the port they address. A
// read returns the byte at that I/O port, widened; a write sets the low byte
// of the value at once, in call order. Failures throw Failure.
class PortIo {
 public:
  virtual ~PortIo() = default;
  // Which port this run drives; the first call may be the run's first port
  // access (loading the library, choosing the port) and throw Failure.
  virtual ChosenPort ChoosePort() { return {}; }
  virtual std::int16_t Inp32(std::int16_t port) = 0;
  virtual void Out32(std::int16_t port, std::int16_t value) = 0;
};

}  // namespace quorvane
