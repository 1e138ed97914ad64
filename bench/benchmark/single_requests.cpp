#include "bench/benchmark/single_requests.h"

#include <stdexcept>
#include <thread>

#include "bench/benchmark/record_timing.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::bench {

using namespace std::chrono_literals;
using simport::Access;

bool IsPoll(const Access& a) { return !a.write && a.port == simport::kStatusPort; }

std::chrono::nanoseconds SinceNow(std::uint64_t timeNs) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(timeNs) -
                                  static_cast<std::int64_t>(simport::NowNs()));
}

void AnswerSingleRequests(ProgramUnderTest& program, AnswerJudge& judge, int count, bool timeLatency,
                          Results& results,
                          const std::function<void(const supervisor::JudgedAnswer&)>& judged) {
  for (int i = 0; i < count; ++i) {
    const auto poll = program.WaitFor(IsPoll, 3s);
    if (!poll) throw std::runtime_error("the program stopped polling");
    const auto offset = std::chrono::milliseconds(100 + 800 * i / count);
    std::this_thread::sleep_for(SinceNow(poll->timeNs) + offset);
    const std::size_t answersBefore = judge.Answers().size();
    judge.RaiseRequest();
    const auto raisedNs = simport::NowNs();
    const auto first = program.WaitFor(simport::IsWriteTo(simport::kControlPort), 3s);
    judge.DropRequest();
    if (!first) {
      // The checker counts it as missing; a run under load goes on.
      judge.Update();
      continue;
    }
    if (timeLatency) results.raiseToEdgeMs.push_back(Ms(raisedNs, first->timeNs));
    std::this_thread::sleep_for(3100ms);
    judge.Update();
    for (int e = 0; e < 3 && judge.AnswerRunning(); ++e) {
      program.WaitFor(simport::IsWriteTo(simport::kControlPort), 2s);
      judge.Update();
    }
    for (std::size_t k = answersBefore; k < judge.Answers().size(); ++k) {
      const supervisor::JudgedAnswer& answer = judge.Answers()[k];
      if (timeLatency && answer.pollNs)
        results.pollToEdgeUs.push_back(Ms(*answer.pollNs, answer.writeNs[0]) * 1000.0);
      judged(answer);
    }
  }
}

}  // namespace quorvane::bench
