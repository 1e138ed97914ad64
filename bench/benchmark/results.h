#pragma once

// What one benchmark run measured: the raw samples, and the figures taken
// along the way. Times in the unit their name ends with.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/supervisor/answer_checker.h"

namespace quorvane::bench {

struct Results {
  std::string program;
  bool window = false;
  // The program is a Windows one, run under Wine.
  bool wine = false;
  bool shownMeasured = false;
  std::vector<double> firstWriteMs, shownMs;
  double idleSeconds = 0, idleCpuPercent = 0, idleScheduledPercent = 0;
  // The same, by the scheduler's counters, of a minimal window of the same
  // toolkit woken by the same timer over the same span (negative: not run).
  double floorIdleScheduledPercent = -1;
  // That minimal window's tick periods over the span, in ms, where it reads
  // the port at each tick as the program does (the Windows one); empty
  // otherwise.
  std::vector<double> floorWindowTickMs;
  // Under Wine, the session's shared processes (wineserver, Wine's
  // services) over the same span, by the same counters, for the program and
  // the minimal one together (negative: not measured).
  double wineSharedIdleScheduledPercent = -1;
  std::vector<double> tickMs;
  std::vector<double> stepErrorUs[answer_pattern::kWrites - 1];  // by step
  // The checker's verdicts on every answer timed (the single and the held ones).
  supervisor::Tally verdicts;
  std::vector<double> raiseToEdgeMs, pollToEdgeUs;
  double heldCpuPercent = 0;
  std::vector<double> heldGapMs;
  double peakRssMiB = 0;
  // At the end of the idle span: resident, proportional and private dirty
  // memory, and the resident part that is Qt's (or Wine's) libraries.
  double rssMiB = 0, pssMiB = 0, privateDirtyMiB = 0, toolkitMiB = 0;
  // The floor: a minimal timerfd loop's periods over the idle span, and a
  // minimal busy wait's largest preemption gap.
  std::vector<double> floorTickMs;
  // Under load: every CPU busy with stress-ng while single requests are
  // answered; the step errors and the checker's verdicts on those answers.
  bool loadRun = false;
  int loadWorkers = 0;
  std::vector<double> loadStepErrorUs;
  int loadAnswers = 0, loadFaults = 0, loadMissing = 0;
  double schedulerTickMs = 0;  // 0 when unknown
  std::uint64_t switchesInAnswers = 0;
  double stealPercentInAnswers = 0;
  double probeMaxGapUs = 0, probeGapsPerSecond = 0, probeSeconds = 0;
  // The floor under the answer: a minimal program sleeping to absolute
  // deadlines a second apart (sleep_floor.h) beside the program: how late
  // it woke during the single answers (normal class), and its CPU over the
  // held request (negative: not run).
  std::vector<double> sleepFloorLatenessUs;
  double heldFloorCpuPercent = -1;
  // Under Wine, the minimal Windows program's CPU over the held request
  // (negative: not run).
  double heldFloorWindowCpuPercent = -1;
  // Under load: the class the program answered in, and the sleep floor's
  // wake-ups beside it in the normal class.
  std::string loadClass;
  std::vector<double> loadFloorLatenessUs;
  // The text front end as the systemd service runs it (LimitRTPRIO=1),
  // single requests under the same load, beside the sleep floor in the
  // real-time class.
  bool serviceLoadRun = false;
  std::string serviceClass;
  std::vector<double> serviceLoadStepErrorUs, serviceLoadFloorLatenessUs;
  int serviceLoadAnswers = 0, serviceLoadFaults = 0;
  double loadBefore = 0, loadAfter = 0;
  // The load average when the quiet phases ended, before the run under load
  // (which adds its own): with loadBefore, whether the machine was busy.
  double loadQuietEnd = 0;
  std::uint64_t lost = 0;
  std::vector<std::string> notes;
};

}  // namespace quorvane::bench
