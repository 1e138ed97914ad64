#pragma once

// The benchmark's results as a table (printed as Markdown) and as JSON.

#include <string>
#include <vector>

#include "bench/benchmark/results.h"

namespace quorvane::bench {

// One line of the table; target and holds are empty for figures without a
// target, floor and ratio for those without a floor: what this machine
// allows at best, measured in the same run, and the program's figure as a
// multiple of it.
struct Row {
  std::string measure, value, target, floor, ratio, holds;
};

std::vector<Row> Table(const Results& results);
void PrintTable(const Results& results, const std::vector<Row>& rows);
// Every sample as well as the table.
void WriteJson(bool quick, const Results& results, const std::vector<Row>& rows, const std::string& path);

}  // namespace quorvane::bench
