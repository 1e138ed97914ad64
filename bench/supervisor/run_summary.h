#pragma once

// The end of a run in numbers: the text printed last, and the same as JSON
// for scripts. The text is one "name  value" line per figure, so a script
// can pick a line by its name.

#include <cstdint>
#include <string>

#include "bench/supervisor/answer_checker.h"

namespace quorvane::supervisor {

struct RunSummary {
  std::string pattern;  // as DescribePattern gives it
  double seconds = 0;   // how long the run took
  Tally tally;
  int unplacedPulses = 0;
  std::uint64_t lostAccesses = 0;  // overrun in the state file's ring: not seen, not judged
  bool interrupted = false;        // stopped by a signal
  bool neverPolled = false;        // --wait-poll, and the program never polled

  bool Failed() const { return tally.Failed() || unplacedPulses > 0 || neverPolled; }
  int ExitCode() const { return Failed() ? 1 : 0; }
};

std::string SummaryText(const RunSummary& summary);
std::string SummaryJson(const RunSummary& summary);

}  // namespace quorvane::supervisor
