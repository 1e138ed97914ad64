#include "bench/benchmark/record_timing.h"

#include "port/answer_pattern.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::bench {

std::vector<double> IdleTickIntervalsMs(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to) {
  std::vector<double> intervals;
  const simport::Access* previousPoll = nullptr;
  for (std::size_t i = from; i < to; ++i) {
    const simport::Access& a = accesses[i];
    if (a.write) {
      previousPoll = nullptr;
    } else if (a.port == simport::kStatusPort) {
      if (previousPoll) intervals.push_back(Ms(previousPoll->timeNs, a.timeNs));
      previousPoll = &a;
    }
  }
  return intervals;
}

std::vector<double> StepErrorsUs(const supervisor::JudgedAnswer& answer) {
  constexpr double kStepMs = answer_pattern::kStepNs / 1e6;
  std::vector<double> errors;
  for (int step = 1; step < answer.writes; ++step)
    errors.push_back((Ms(answer.writeNs[step - 1], answer.writeNs[step]) - kStepMs) * 1000.0);
  return errors;
}

}  // namespace quorvane::bench
