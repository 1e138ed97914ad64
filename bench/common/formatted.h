#pragma once

// printf's formats, for the texts still written in them (the QEMU trace's
// judge), through {fmt}: no buffer to size, and a value of the wrong type is
// refused rather than misread. New texts are written with fmt::format.

#include <fmt/printf.h>

#include <string>

namespace quorvane::bench_common {

template <typename... Values>
std::string Formatted(const char* format, const Values&... values) {
  return fmt::sprintf(format, values...);
}

}  // namespace quorvane::bench_common
