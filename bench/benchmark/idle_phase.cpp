// The benchmark's idle phase: the program left without a request, beside
// the floor's minimal timer loop and window.

#include <optional>
#include <thread>
#include <vector>

#include "bench/benchmark/floor.h"
#include "bench/benchmark/measurement_phases.h"
#include "bench/benchmark/process_usage.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/wine_session.h"

namespace quorvane::bench {

using namespace std::chrono_literals;

void MeasureIdle(const Options& options, ProgramUnderTest& program, Results& results,
                 std::optional<ProgramUnderTest>& floorWindow) {
  // Idle: no request. The bench's own minimal timerfd loop ticks half a
  // second out of phase with the program's, so neither wakes the other's
  // core; at each of its ticks it reads the record, and does nothing else.
  Say("idle for " + std::to_string(options.idleSeconds) + " s");
  // The floor under the idle cost: a minimal window of the same toolkit
  // and timer, started first, its start-up work let settle before the span
  // begins. The Windows one reads the port at each tick, as the program
  // does: its first poll says it ticks, and its polls over the span are the
  // floor under the poll timer's periods, which under Wine a bare timerfd loop is
  // not (Wine's timer and message wait lie between the kernel and a tick).
  if (!options.floorProgram.empty()) {
    floorWindow.emplace(options.floorProgram, options.libraryFolder, options.wine);
    floorWindow->Start();
    if (options.wine && !floorWindow->WaitFor(IsPoll, StartLimit(options, 5s))) {
      results.notes.push_back("the minimal program never polled, so the run has no floor window: " +
                              floorWindow->Errors());
      // Under Wine the minimal program stays for the held request, its floor.
      if (!options.wine) floorWindow.reset();
    } else {
      std::this_thread::sleep_for(options.wine ? 1500ms : StartLimit(options, 2s));
    }
  }
  program.Collect();
  const std::size_t idleFrom = program.Accesses().size();
  if (floorWindow) floorWindow->Collect();
  const std::size_t floorIdleFrom = floorWindow ? floorWindow->Accesses().size() : 0;
  const std::uint64_t lastPoll = idleFrom ? program.Accesses().back().timeNs : simport::NowNs();
  TimerfdTickLoop floorLoop(lastPoll + 1500000000u);
  const auto floorSched0 = floorWindow ? ScheduledSeconds(floorWindow->Pid()) : std::nullopt;
  // Under Wine, part of every wait and timer is the wineserver's work,
  // shared by both programs: shown beside theirs, in no ratio.
  std::vector<pid_t> wineShared;
  if (const char* prefix = std::getenv("WINEPREFIX"); options.wine && prefix)
    wineShared = WineSessionProcesses(prefix, {program.Pid(), floorWindow ? floorWindow->Pid() : -1});
  const auto wineShared0 = ScheduledSecondsOf(wineShared);
  const auto cpu0 = CpuSeconds(program.Pid()), sched0 = ScheduledSeconds(program.Pid());
  const auto t0 = simport::NowNs();
  for (int s = 0; s < options.idleSeconds; ++s) {
    floorLoop.Wait();
    program.Collect();
    if (floorWindow) floorWindow->Collect();
  }
  results.floorTickMs = floorLoop.IntervalsMs();
  if (const auto memory = Memory(program.Pid())) {
    results.rssMiB = static_cast<double>(memory->residentKiB) / 1024.0;
    results.pssMiB = static_cast<double>(memory->proportionalKiB) / 1024.0;
    results.privateDirtyMiB = static_cast<double>(memory->privateDirtyKiB) / 1024.0;
    results.toolkitMiB = static_cast<double>(memory->toolkitKiB) / 1024.0;
  }
  const auto cpu1 = CpuSeconds(program.Pid()), sched1 = ScheduledSeconds(program.Pid());
  const auto floorSched1 = floorWindow ? ScheduledSeconds(floorWindow->Pid()) : std::nullopt;
  const auto wineShared1 = ScheduledSecondsOf(wineShared);
  const double span = Ms(t0, simport::NowNs()) / 1000.0;
  if (!wineShared.empty())
    results.wineSharedIdleScheduledPercent = SpentBetween(wineShared0, wineShared1) / span * 100.0;
  if (floorSched0 && floorSched1)
    results.floorIdleScheduledPercent = (*floorSched1 - *floorSched0) / span * 100.0;
  if (floorWindow && options.wine) {
    floorWindow->Collect();
    results.floorWindowTickMs =
        IdleTickIntervalsMs(floorWindow->Accesses(), floorIdleFrom, floorWindow->Accesses().size());
    if (!floorWindow->Running())
      results.notes.push_back("the minimal program ended during the idle span: " + floorWindow->Errors());
  }
  // Under Wine the minimal program stays for the held request, its floor.
  if (!options.wine) floorWindow.reset();
  results.idleSeconds = span;
  if (cpu0 && cpu1) results.idleCpuPercent = (*cpu1 - *cpu0) / span * 100.0;
  if (sched0 && sched1) results.idleScheduledPercent = (*sched1 - *sched0) / span * 100.0;
  results.tickMs = IdleTickIntervalsMs(program.Accesses(), idleFrom, program.Accesses().size());
}

}  // namespace quorvane::bench
