#include "port_libraries/hardware/line_levels.h"

#include <ieee1284.h>

namespace quorvane::hardware {

namespace {
constexpr int kControlLines = C1284_NSTROBE | C1284_NAUTOFD | C1284_NINIT | C1284_NSELECTIN;
}  // namespace

std::uint8_t StatusRegisterFromLines(int lines) {
  return static_cast<std::uint8_t>((lines ^ S1284_INVERTED) & 0xFF);
}

std::uint8_t ControlLinesFromRegister(std::uint8_t value) {
  return static_cast<std::uint8_t>((value & kControlLines) ^ C1284_INVERTED);
}

std::uint8_t ControlRegisterFromLines(int lines) {
  return static_cast<std::uint8_t>((lines & kControlLines) ^ C1284_INVERTED);
}

}  // namespace quorvane::hardware
