#pragma once

#include <cstdint>

namespace quorvane {

// The two port operations the program uses. A read returns the byte at that
// I/O port, widened; a write sets the low byte of the value at once, in call
// order. Failures throw Failure.
class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual std::int16_t Inp32(std::int16_t port) = 0;
  virtual void Out32(std::int16_t port, std::int16_t value) = 0;
};

}  // namespace quorvane
