#include "bench/common/json_text.h"

#include <cstdio>

namespace quorvane::bench_common {

std::string JsonString(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string JsonNumbers(const std::vector<double>& numbers, int decimals) {
  std::string list = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    char number[48];
    std::snprintf(number, sizeof number, "%s%.*f", i ? ", " : "", decimals, numbers[i]);
    list += number;
  }
  return list + "]";
}

}  // namespace quorvane::bench_common
