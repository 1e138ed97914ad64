// quorvane-bench: times the real program on the simulated port. Every port
// access the program makes is stamped with CLOCK_MONOTONIC inside the
// program's own process by the simulated port library, so the answer's edges
// and the polls are timed where they happen; this side only raises and
// drops the request line and reads the record.

#include "bench/benchmark/measurement_run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include "bench/benchmark/answer_judge.h"
#include "bench/benchmark/floor.h"
#include "bench/benchmark/process_usage.h"
#include "bench/benchmark/program_under_test.h"
#include "bench/benchmark/record_timing.h"
#include "bench/benchmark/scheduling_grant.h"
#include "bench/benchmark/service_under_load.h"
#include "bench/benchmark/single_requests.h"
#include "bench/benchmark/sleep_floor.h"
#include "bench/benchmark/window_probe.h"
#include "bench/benchmark/wine_session.h"
#include "core/status_window/window_description.h"
#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::bench {

namespace {

using namespace std::chrono_literals;
using simport::Access;

void AddStepErrors(const supervisor::JudgedAnswer& answer, Results& results) {
  const std::vector<double> errors = StepErrorsUs(answer);
  for (std::size_t step = 0; step < errors.size(); ++step) results.stepErrorUs[step].push_back(errors[step]);
}

void Say(const std::string& text) { std::cerr << "[bench] " << text << std::endl; }

// A start under Wine takes longer than a native one, and several times
// longer again where 32-bit programs run under emulation (the Wine session
// says how many in WINE_TIME_FACTOR). Only waits for a start are widened.
std::chrono::milliseconds StartLimit(const Options& options, std::chrono::milliseconds native) {
  const char* factor = std::getenv("WINE_TIME_FACTOR");
  const int times = options.wine && factor ? std::max(1, std::atoi(factor)) : 1;
  return native * times;
}

// Process start to first port write, and to the window mapped.
void TimeStartUps(const Options& options, Results& results) {
  for (int run = 0; run < options.startups; ++run) {
    WindowProbe probe;
    ProgramUnderTest program(options.program, options.libraryFolder, options.wine);
    program.Start();
    const auto first = program.WaitFor([](const Access&) { return true; }, StartLimit(options, 10s));
    if (!first) throw std::runtime_error("no port access after start:\n" + program.Errors());
    results.firstWriteMs.push_back(Ms(program.StartNs(), first->timeNs));
    if (probe.Available() && results.window) {
      if (const auto shown = probe.WaitForShown(status_window::kCaption,
                                                static_cast<int>(StartLimit(options, 10s).count()))) {
        results.shownMs.push_back(Ms(program.StartNs(), *shown));
        results.shownMeasured = true;
      }
    }
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

// How the Windows program ran: the Wine session (tests/windows/with_wine.sh)
// says whether 32-bit programs run under emulation, which slows every start
// and wait several times.
std::string WineKind() {
  const char* emulated = std::getenv("QUORVANE_WINE_EMULATED");
  return emulated && std::string(emulated) == "1"
             ? " (under Wine, emulated: 32-bit programs run by QEMU, not Windows)"
             : " (under Wine, not Windows)";
}

}  // namespace

void Measure(const Options& options, Results& results) {
  results.program = options.program + (options.wine ? WineKind() : "");
  results.wine = options.wine;
  results.loadBefore = LoadAverage();
  results.window = options.program.find("console") == std::string::npos;
  // The floor under the answer's steps: any gap in a busy wait that covers
  // the end of one of its one-second waits delays that edge by as much.
  results.probeSeconds = options.quick ? 2 : 5;
  Say("probing how often a busy wait is interrupted here (" + std::to_string(int(results.probeSeconds)) +
      " s)");
  const BusyWaitGaps gaps = ProbeBusyWait(results.probeSeconds);
  results.probeMaxGapUs = gaps.largestUs;
  results.probeGapsPerSecond = gaps.over100UsPerSecond;
  if (const auto tick = SchedulerTickMs()) results.schedulerTickMs = *tick;
  Say("timing " + std::to_string(options.startups) + " start-ups");
  TimeStartUps(options, results);

  ProgramUnderTest program(options.program, options.libraryFolder, options.wine);
  if (!options.wine) program.RunUnder(AsAnOrdinaryUser());
  program.Start();
  if (!program.WaitFor(IsPoll, StartLimit(options, 5s)))
    throw std::runtime_error("the program never polled:\n" + program.Errors());
  std::this_thread::sleep_for(1500ms);  // let start-up work settle

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
  std::optional<ProgramUnderTest> floorWindow;
  if (!options.floorProgram.empty()) {
    floorWindow.emplace(options.floorProgram, options.libraryFolder, options.wine);
    floorWindow->Start();
    if (options.wine && !floorWindow->WaitFor(IsPoll, StartLimit(options, 5s))) {
      results.notes.push_back("the minimal program never polled, so the run has no floor window: " +
                              floorWindow->Errors());
      floorWindow.reset();
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

  // Every answer from here on is judged by the supervisor's checker; the
  // edge timing comes from the answers it judged.
  AnswerJudge judge(program);

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
