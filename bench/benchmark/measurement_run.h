#pragma once

// The benchmark's run: starts the program on the simulated port several
// times and once for long, plays requests to it and records what it does.

#include "bench/benchmark/bench_options.h"
#include "bench/benchmark/results.h"

namespace quorvane::bench {

// Throws std::runtime_error when the program does not start, poll or answer.
void Measure(const Options& options, Results& results);

}  // namespace quorvane::bench
