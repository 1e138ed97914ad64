#include "bench/benchmark/answer_timing.h"

#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::bench {

namespace {

bool IsPoll(const simport::Access& a) { return !a.write && a.port == simport::kStatusPort; }
bool IsControlWrite(const simport::Access& a) { return a.write && a.port == simport::kControlPort; }

}  // namespace

std::vector<RecordedAnswer> FindAnswers(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to) {
  std::vector<RecordedAnswer> answers;
  for (std::size_t i = from; i < to; ++i) {
    if (!IsPoll(accesses[i]) || !(accesses[i].value & simport::kRequestBit)) continue;
    RecordedAnswer answer{accesses[i], {}, true};
    std::size_t found = 0, j = i + 1;
    for (; j < to && found < 4; ++j) {
      if (IsControlWrite(accesses[j])) {
        answer.edges[found++] = accesses[j];
      } else {
        answer.wellFormed = false;  // a poll or another access inside the answer
      }
    }
    if (found < 4) break;
    const std::int16_t pattern[] = {0, 1, 0, 1};
    for (std::size_t e = 0; e < 4; ++e) answer.wellFormed &= answer.edges[e].value == pattern[e];
    answers.push_back(answer);
    i = j - 1;
  }
  return answers;
}

std::vector<double> IdleTickIntervalsMs(const std::vector<simport::Access>& accesses, std::size_t from,
                                        std::size_t to) {
  std::vector<double> intervals;
  const simport::Access* previousPoll = nullptr;
  for (std::size_t i = from; i < to; ++i) {
    const simport::Access& a = accesses[i];
    if (a.write) {
      previousPoll = nullptr;
    } else if (IsPoll(a)) {
      if (previousPoll) intervals.push_back(Ms(previousPoll->timeNs, a.timeNs));
      previousPoll = &a;
    }
  }
  return intervals;
}

}  // namespace quorvane::bench
