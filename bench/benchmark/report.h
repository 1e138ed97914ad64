#pragma once

// The benchmark's results as a table (printed as Markdown) and as JSON.

#include <cstddef>
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

// Answers a step-error figure needs before it is judged: idle, and under
// load for the service's program.
inline constexpr std::size_t kAnswersToJudge = 20;
inline constexpr std::size_t kLoadedAnswersToJudge = 5;

// Whether someone else's work kept the machine busy during the quiet
// phases (by the load average): such a run's figures are not judged.
bool Busy(const Results& results);

std::vector<Row> Table(const Results& results);
void PrintTable(const Results& results, const std::vector<Row>& rows);
// Every sample as well as the table.
void WriteJson(bool quick, const Results& results, const std::vector<Row>& rows, const std::string& path);

}  // namespace quorvane::bench
