// quorvane-bench: times the real program on the simulated port. Every port
// access the program makes is stamped with CLOCK_MONOTONIC inside the
// program's own process by the simulated port library, so the answer's edges
// and the polls are timed where they happen; this side only raises and
// drops the request line and reads the record.

#include <iostream>
#include <stdexcept>

#include "bench/benchmark/bench_options.h"
#include "bench/benchmark/measurement_run.h"
#include "bench/benchmark/report.h"

int main(int argc, char** argv) {
  using namespace quorvane::bench;
  Options options;
  try {
    options = Parse(argc, argv);
  } catch (const std::exception& misuse) {
    std::cerr << "quorvane-bench: " << misuse.what() << "\n";
    return 2;
  }
  try {
    Results results;
    Measure(options, results);
    const auto rows = Table(results);
    PrintTable(results, rows);
    if (!options.jsonPath.empty()) WriteJson(options.quick, results, rows, options.jsonPath);
    return 0;
  } catch (const std::exception& failure) {
    std::cerr << "quorvane-bench: " << failure.what() << "\n";
    return 1;
  }
}
