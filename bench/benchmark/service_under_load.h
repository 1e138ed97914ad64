#pragma once

// The text front end as the systemd service runs it, with the real-time
// class its unit grants for the answers (LimitRTPRIO=1), answering single
// requests with every CPU kept busy by stress-ng: how late a step comes
// there, beside a minimal program sleeping to deadlines in the same class.

#include "bench/benchmark/bench_options.h"
#include "bench/benchmark/results.h"

namespace quorvane::bench {

void TimeServiceUnderLoad(const Options& options, Results& results);

}  // namespace quorvane::bench
