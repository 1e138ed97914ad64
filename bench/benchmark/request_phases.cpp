// The benchmark's phases that play requests: single ones, one held, and
// single ones under load.

#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "bench/benchmark/floor.h"
#include "bench/benchmark/measurement_phases.h"
#include "bench/benchmark/process_usage.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/scheduling_grant.h"
#include "bench/benchmark/sleep_floor.h"

namespace quorvane::bench {

namespace {

using namespace std::chrono_literals;

}  // namespace

void TimeSingleRequests(const Options& options, ProgramUnderTest& program, AnswerJudge& judge,
                        Results& results) {
  // Single requests, raised at phases spread over the tick so the
  // raise-to-first-edge latency covers the whole range.
  Say("timing " + std::to_string(options.sequences) + " single requests");
  const auto switches0 = InvoluntarySwitches(program.Pid());
  const auto machine0 = MachineCpuTicks();
  SleepFloor idleFloor(false);
  AnswerSingleRequests(program, judge, options.sequences, true, results,
                       [&](const supervisor::JudgedAnswer& answer) { AddStepErrors(answer, results); });
  results.sleepFloorLatenessUs = idleFloor.Finish().latenessUs;

  const auto switches1 = InvoluntarySwitches(program.Pid());
  if (switches0 && switches1) results.switchesInAnswers = *switches1 - *switches0;
  const auto machine1 = MachineCpuTicks();
  if (machine1.total > machine0.total)
    results.stealPercentInAnswers = 100.0 * static_cast<double>(machine1.steal - machine0.steal) /
                                    static_cast<double>(machine1.total - machine0.total);
}

void TimeHeldRequest(const Options& options, ProgramUnderTest& program, AnswerJudge& judge, Results& results,
                     std::optional<ProgramUnderTest>& floorWindow) {
  // One request held through several answers: CPU while answering back to
  // back, and the gap from one answer's end to the next one's start.
  Say("holding a request for " + std::to_string(options.heldAnswers) + " answers");
  program.WaitFor(IsPoll, 3s);
  const std::size_t heldFrom = judge.Answers().size();
  const auto heldCpu0 = CpuSeconds(program.Pid());
  const auto heldFloorWindow0 = floorWindow ? ScheduledSeconds(floorWindow->Pid()) : std::nullopt;
  SleepFloor heldFloor(false);
  const auto h0 = simport::NowNs();
  judge.RaiseRequest();
  const auto heldDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5 * options.heldAnswers);
  for (;;) {
    std::this_thread::sleep_for(500ms);
    judge.Update();
    if (judge.Answers().size() - heldFrom >= static_cast<std::size_t>(options.heldAnswers)) break;
    if (std::chrono::steady_clock::now() > heldDeadline) {
      results.notes.push_back("the held request stopped being answered");
      break;
    }
  }
  const auto heldCpu1 = CpuSeconds(program.Pid());
  const double heldSpan = Ms(h0, simport::NowNs()) / 1000.0;
  results.heldFloorCpuPercent = heldFloor.Finish().cpuPercent;
  if (const auto heldFloorWindow1 = floorWindow ? ScheduledSeconds(floorWindow->Pid()) : std::nullopt;
      heldFloorWindow0 && heldFloorWindow1)
    results.heldFloorWindowCpuPercent = (*heldFloorWindow1 - *heldFloorWindow0) / heldSpan * 100.0;
  floorWindow.reset();
  judge.DropRequest();
  if (heldCpu0 && heldCpu1) results.heldCpuPercent = (*heldCpu1 - *heldCpu0) / heldSpan * 100.0;
  for (std::size_t k = heldFrom; k < judge.Answers().size(); ++k) {
    const supervisor::JudgedAnswer& answer = judge.Answers()[k];
    AddStepErrors(answer, results);
    if (k == heldFrom) continue;
    const supervisor::JudgedAnswer& previous = judge.Answers()[k - 1];
    constexpr int kLast = static_cast<int>(answer_pattern::kWrites) - 1;
    if (previous.writes == kLast + 1)
      results.heldGapMs.push_back(Ms(previous.writeNs[kLast], answer.writeNs[0]));
  }
}

// Single requests with every CPU kept busy: how late a step comes when the
// busy wait has to share its core, and that no answer suffers otherwise.
void TimeUnderLoad(const Options& options, ProgramUnderTest& program, AnswerJudge& judge, Results& results) {
  const int workers = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
  Say("timing " + std::to_string(options.loadedSequences) + " single requests with " +
      std::to_string(workers) + " stress-ng CPU workers");
  const supervisor::Tally before = judge.Totals();
  {
    CpuLoad load(workers);
    if (!load.Available()) {
      results.notes.push_back("the run under load was left out: stress-ng could not be started");
      return;
    }
    std::this_thread::sleep_for(1s);  // every worker running
    SleepFloor floor(false);
    AnswerSingleRequests(
        program, judge, options.loadedSequences, false, results, [&](const supervisor::JudgedAnswer& answer) {
          const std::vector<double> errors = StepErrorsUs(answer);
          results.loadStepErrorUs.insert(results.loadStepErrorUs.end(), errors.begin(), errors.end());
        });
    results.loadFloorLatenessUs = floor.Finish().latenessUs;
    results.loadClass = ClassAnswered(program.Errors(), options.wine);
  }
  judge.Update();
  const supervisor::Tally& after = judge.Totals();
  results.loadRun = true;
  results.loadWorkers = workers;
  results.loadAnswers = after.answers - before.answers;
  results.loadMissing = after.missing - before.missing;
  results.loadFaults = (after.malformed - before.malformed) + (after.unrequested - before.unrequested) +
                       (after.strayWrites - before.strayWrites) + results.loadMissing;
}

}  // namespace quorvane::bench
