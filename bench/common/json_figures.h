#pragma once

// A figure as the bench tools' JSON files give it: rounded to the digits it
// has in their reports. nlohmann/json then writes the shortest text that
// reads back as that number, so 1.25 stays 1.25, and a nanosecond's noise
// under a microsecond's figure does not fill the file.

#include <nlohmann/json.hpp>

#include <cmath>
#include <vector>

namespace quorvane::bench_common {

// The files' objects keep their keys in the order written.
using Json = nlohmann::ordered_json;

inline double Rounded(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale + 0.0;  // + 0.0: no "-0.0"
}

inline Json Rounded(const std::vector<double>& values, int decimals) {
  Json list = Json::array();
  for (const double value : values) list.push_back(Rounded(value, decimals));
  return list;
}

// The text of a file: two spaces a level, and a text that is not UTF-8
// (a program's path, say) written with U+FFFD where it is not, rather than
// refused.
inline std::string JsonText(const Json& json) {
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace quorvane::bench_common
