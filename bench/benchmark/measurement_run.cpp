// quorvane-bench: times the real program on the simulated port. Every port
// access the program makes is stamped with CLOCK_MONOTONIC inside the
// program's own process by the simulated port library, so the answer's edges
// and the polls are timed where they happen; this side only raises and
// drops the request line and reads the record.

#include "bench/benchmark/measurement_run.h"

#include <stdexcept>
#include <thread>

#include "bench/benchmark/floor.h"
#include "bench/benchmark/measurement_phases.h"
#include "bench/benchmark/process_usage.h"
#include "bench/benchmark/scheduling_grant.h"
#include "bench/benchmark/service_under_load.h"

namespace quorvane::bench {

namespace {

using namespace std::chrono_literals;

// How the Windows program ran: the Wine session (tests/windows/with_wine.sh)
// says whether 32-bit programs run under emulation, which slows every start
// and wait several times.
std::string WineKind() {
  const char* emulated = std::getenv("QUORVANE_WINE_EMULATED");
  return emulated && std::string(emulated) == "1"
             ? " (under Wine, emulated: 32-bit programs run by QEMU, not Windows)"
             : " (under Wine, not Windows)";
}

// The floor under the answer's steps: any gap in a busy wait that covers
// the end of one of its one-second waits delays that edge by as much.
void ProbeTheMachine(const Options& options, Results& results) {
  results.probeSeconds = options.quick ? 2 : 5;
  Say("probing how often a busy wait is interrupted here (" + std::to_string(int(results.probeSeconds)) +
      " s)");
  const BusyWaitGaps gaps = ProbeBusyWait(results.probeSeconds);
  results.probeMaxGapUs = gaps.largestUs;
  results.probeGapsPerSecond = gaps.over100UsPerSecond;
  if (const auto tick = SchedulerTickMs()) results.schedulerTickMs = *tick;
}

}  // namespace

void Measure(const Options& options, Results& results) {
  results.program = options.program + (options.wine ? WineKind() : "");
  results.wine = options.wine;
  results.loadBefore = LoadAverage();
  results.window = options.program.find("console") == std::string::npos;
  ProbeTheMachine(options, results);
  Say("timing " + std::to_string(options.startups) + " start-ups");
  TimeStartUps(options, results);

  ProgramUnderTest program(options.program, options.libraryFolder, options.wine);
  if (!options.wine) program.RunUnder(AsAnOrdinaryUser());
  program.Start();
  if (!program.WaitFor(IsPoll, StartLimit(options, 5s)))
    throw std::runtime_error("the program never polled:\n" + program.Errors());
  std::this_thread::sleep_for(1500ms);  // let start-up work settle

  std::optional<ProgramUnderTest> floorWindow;
  MeasureIdle(options, program, results, floorWindow);

  // Every answer from here on is judged by the supervisor's checker; the
  // edge timing comes from the answers it judged.
  AnswerJudge judge(program);

  TimeSingleRequests(options, program, judge, results);
  TimeHeldRequest(options, program, judge, results, floorWindow);
  results.loadQuietEnd = LoadAverage();
  if (options.loadedSequences > 0) TimeUnderLoad(options, program, judge, results);
  judge.Finish();
  results.verdicts = judge.Totals();

  if (const auto peak = PeakResidentKiB(program.Pid()))
    results.peakRssMiB = static_cast<double>(*peak) / 1024.0;
  results.lost = program.Lost();
  if (options.loadedSequences > 0 && !options.wine) TimeServiceUnderLoad(options, results);
  results.loadAfter = LoadAverage();
  if (!program.Running()) results.notes.push_back("the program ended during the run: " + program.Errors());
}

}  // namespace quorvane::bench
