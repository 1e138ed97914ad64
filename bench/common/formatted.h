#pragma once

// printf's formatting into a std::string, whatever the length, for the bench
// tools' reports and traces.

#include <cstdio>
#include <string>

namespace quorvane::bench_common {

template <typename... Values>
std::string Formatted(const char* format, Values... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

}  // namespace quorvane::bench_common
