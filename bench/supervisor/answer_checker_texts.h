#pragma once

// The few texts and helpers both halves of the answer checker use
// (answer_checker.cpp, answer_writes.cpp).

#include <fmt/format.h>

#include <cstdint>
#include <string>

#include "port/answer_pattern.h"

namespace quorvane::supervisor::checker_texts {

// "of 4 writes", for the texts.
inline std::string OfAllWrites() { return " of " + std::to_string(answer_pattern::kWrites) + " writes"; }

// A value written to a port, as the texts give it: 0x0F.
inline std::string Hex(std::int16_t value) {
  return fmt::format("0x{:02X}", static_cast<std::uint16_t>(value));
}

}  // namespace quorvane::supervisor::checker_texts
