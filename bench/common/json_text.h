#pragma once

// The bench tools' JSON, written by hand: a text quoted with everything JSON
// cannot hold as it is escaped, and a list of numbers.

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::bench_common {

// `text` as a JSON string, quotes included: quote and backslash escaped,
// every control character as \u00XX.
std::string JsonString(std::string_view text);

// `[1.250, 3.000]`: each number with `decimals` digits after the point.
std::string JsonNumbers(const std::vector<double>& numbers, int decimals);

}  // namespace quorvane::bench_common
