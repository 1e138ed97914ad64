#pragma once

// The few texts and helpers both halves of the answer checker use
// (answer_checker.cpp, answer_writes.cpp).

#include <cstdint>
#include <cstdio>
#include <string>

#include "port/answer_pattern.h"

namespace quorvane::supervisor::checker_texts {

// "of 4 writes", for the texts.
inline std::string OfAllWrites() { return " of " + std::to_string(answer_pattern::kWrites) + " writes"; }

inline std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

inline std::string Hex(std::int16_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(static_cast<std::uint16_t>(value)));
  return text;
}

}  // namespace quorvane::supervisor::checker_texts
