#include "bench/benchmark/report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "bench/benchmark/statistics.h"
#include "bench/common/json_figures.h"

namespace quorvane::bench {

namespace {

std::string Fixed(double value, int decimals) { return fmt::format("{:.{}f}", value, decimals); }

std::vector<double> DeviationsFrom1000(const std::vector<double>& intervalsMs) {
  std::vector<double> deviations;
  deviations.reserve(intervalsMs.size());
  for (double interval : intervalsMs) deviations.push_back(std::fabs(interval - 1000.0));
  return deviations;
}

// The p99 and the largest of deviations in ms, shown in us.
std::string UsPair(const std::vector<double>& deviationsMs) {
  return Fixed(Percentile(deviationsMs, 99) * 1000, 1) + " / " +
         Fixed(Percentile(deviationsMs, 100) * 1000, 1) + " us";
}

// Above this 1-minute load average someone else's work kept at least a
// whole CPU busy beside the run (the program and the benchmark add almost
// nothing outside the run under load): its figures are not judged.
constexpr double kBusyLoad = 1.0;

// The verdict on a target: "yes" or "NO", unless too few samples were
// taken to say, or the machine was busy, when a figure that meets its
// target is not called held.
std::string Verdict(bool ok, bool busy, std::size_t samples = 1, std::size_t needed = 1) {
  if (samples < needed)
    return "too few samples (" + std::to_string(samples) + " of " + std::to_string(needed) + ")";
  if (busy) return ok ? "busy: not judged" : "NO (busy)";
  return ok ? "yes" : "NO";
}

// "max / median us" of wake-up lateness, for a floor column.
std::string LatenessText(const std::vector<double>& latenessUs) {
  if (latenessUs.empty()) return "";
  return Fixed(Percentile(latenessUs, 100), 1) + " / " + Fixed(Percentile(latenessUs, 50), 1) +
         " us (sleep alone: max / median)";
}

// The program's figure as a multiple of the floor's; empty without a floor.
std::string Ratio(double program, double floor) {
  if (floor <= 0) return "";
  return Fixed(program / floor, 1) + " x";
}

}  // namespace

bool Busy(const Results& r) { return std::max(r.loadBefore, r.loadQuietEnd) > kBusyLoad; }

std::vector<Row> Table(const Results& r) {
  std::vector<Row> rows;
  const bool busy = Busy(r);
  auto verdict = [busy](bool ok) { return Verdict(ok, busy); };

  // The poll timer's period, beside the floor's over the same span: a minimal
  // timerfd loop's natively; under Wine, whose timer and message wait lie
  // between the kernel and a tick, the minimal Windows program's.
  const bool windowFloor = !r.floorWindowTickMs.empty();
  const std::vector<double>& floorTicks = windowFloor ? r.floorWindowTickMs : r.floorTickMs;
  const std::vector<double> deviations = DeviationsFrom1000(r.tickMs);
  const std::vector<double> floorDeviations = DeviationsFrom1000(floorTicks);
  const double tickMean = Mean(r.tickMs), tickP99 = Percentile(deviations, 99);
  const double floorP99 = Percentile(floorDeviations, 99);
  rows.push_back({"tick period: mean (" + std::to_string(r.tickMs.size()) + " idle ticks)",
                  Fixed(tickMean, 4) + " ms", "1000 +- 0.01 ms", Fixed(Mean(floorTicks), 4) + " ms", "",
                  verdict(!r.tickMs.empty() && std::fabs(tickMean - 1000.0) <= 0.01)});
  rows.push_back(
      {std::string("tick period: deviation from 1000 ms, p99 / max") +
           (windowFloor ? " (floor: the minimal Windows program with the same poll timer, under Wine beside "
                          "it; a bare timerfd loop is no fair floor under Wine)"
                        : ""),
       UsPair(deviations), "p99 <= 2 x floor", UsPair(floorDeviations), Ratio(tickP99, floorP99),
       verdict(!deviations.empty() && floorP99 > 0 && tickP99 <= 2 * floorP99)});
  if (windowFloor)
    rows.push_back(
        {"bare timerfd loop over the same span (Linux, not the floor under Wine): deviation p99 / max",
         UsPair(DeviationsFrom1000(r.floorTickMs)), "", "", "", ""});

  // The answer's steps, beside a minimal busy wait's largest gap.
  std::vector<double> allSteps, stepMax;
  std::string stepNames, stepMaxText;
  for (std::size_t step = 0; step < std::size(r.stepErrorUs); ++step) {
    const auto errors = Magnitudes(r.stepErrorUs[step]);
    allSteps.insert(allSteps.end(), errors.begin(), errors.end());
    stepMax.push_back(Percentile(errors, 100));
    const char* between = step ? " / " : "";
    stepNames += between + std::to_string(step + 1);
    stepMaxText += between + Fixed(stepMax.back(), 1);
  }
  const double allMax = Percentile(allSteps, 100), allMedian = Percentile(allSteps, 50);
  const int idleAnswers = r.verdicts.answers - r.loadAnswers;
  rows.push_back(
      {"answer step error: max / p99 / median (" + std::to_string(idleAnswers) + " answers)",
       Fixed(allMax, 1) + " / " + Fixed(Percentile(allSteps, 99), 1) + " / " + Fixed(allMedian, 1) + " us",
       "max <= 10 us, median <= 2 us", LatenessText(r.sleepFloorLatenessUs),
       Ratio(allMax, Percentile(r.sleepFloorLatenessUs, 100)),
       Verdict(allMax <= 10.0 && allMedian <= 2.0, busy, static_cast<std::size_t>(idleAnswers),
               kAnswersToJudge)});
  rows.push_back({"answer step error, largest of step " + stepNames, stepMaxText + " us", "", "", "", ""});
  rows.push_back({"busy wait (" + Fixed(r.probeSeconds, 0) + " s): gaps over 100 us per s", "", "",
                  Fixed(r.probeGapsPerSecond, 1), "", ""});
  rows.push_back({"involuntary context switches of the program during the single answers",
                  std::to_string(r.switchesInAnswers), "", "", "", ""});
  rows.push_back({"CPU time stolen by the hypervisor during the single answers",
                  Fixed(r.stealPercentInAnswers, 2) + " % of all CPU time", "", "", "", ""});

  // Under load.
  const std::string tick = r.schedulerTickMs > 0 ? Fixed(r.schedulerTickMs, 1) + " ms (scheduler tick)" : "";
  if (r.loadRun) {
    const double loadMax = Percentile(Magnitudes(r.loadStepErrorUs), 100);
    rows.push_back({"under load (" + std::to_string(r.loadWorkers) +
                        " stress-ng CPU workers): step error max (" + std::to_string(r.loadAnswers) +
                        " answers), the " + (r.window ? "window " : "") +
                        "program as a user, class: " + (r.loadClass.empty() ? "not known" : r.loadClass),
                    Fixed(loadMax, 1) + " us", "reported", LatenessText(r.loadFloorLatenessUs),
                    Ratio(loadMax, Percentile(r.loadFloorLatenessUs, 100)), ""});
    if (!tick.empty()) rows.push_back({"scheduler tick", tick, "", "", "", ""});
    rows.push_back({"under load: answers malformed or missing", std::to_string(r.loadFaults), "none", "", "",
                    verdict(r.loadFaults == 0 && r.loadAnswers > 0)});
  } else {
    rows.push_back({"under load", "not run", "", tick, "", ""});
  }
  if (r.serviceLoadRun) {
    const double serviceMax = Percentile(Magnitudes(r.serviceLoadStepErrorUs), 100);
    rows.push_back(
        {"under load: step error max (" + std::to_string(r.serviceLoadAnswers) +
             " answers), the service's program as installed (LimitRTPRIO=1), class: " + r.serviceClass,
         Fixed(serviceMax, 1) + " us", "<= 200 us", LatenessText(r.serviceLoadFloorLatenessUs),
         Ratio(serviceMax, Percentile(r.serviceLoadFloorLatenessUs, 100)),
         Verdict(serviceMax <= 200.0 && r.serviceLoadFaults == 0, false,
                 static_cast<std::size_t>(r.serviceLoadAnswers), kLoadedAnswersToJudge)});
  }

  // Latency of an answer.
  rows.push_back({"request raised -> first edge: min / median / max",
                  Fixed(Percentile(r.raiseToEdgeMs, 0), 1) + " / " +
                      Fixed(Percentile(r.raiseToEdgeMs, 50), 1) + " / " +
                      Fixed(Percentile(r.raiseToEdgeMs, 100), 1) + " ms",
                  "", "", "", ""});
  rows.push_back({"poll that saw it -> first edge: min / median / max",
                  Fixed(Percentile(r.pollToEdgeUs, 0), 1) + " / " + Fixed(Percentile(r.pollToEdgeUs, 50), 1) +
                      " / " + Fixed(Percentile(r.pollToEdgeUs, 100), 1) + " us",
                  "", "", "", ""});
  rows.push_back(
      {"held request: gap between answers min / max",
       Fixed(Percentile(r.heldGapMs, 0), 1) + " / " + Fixed(Percentile(r.heldGapMs, 100), 1) + " ms", "", "",
       "", ""});

  // Start-up.
  const double firstWriteMedian = Percentile(r.firstWriteMs, 50);
  rows.push_back(
      {"start -> first port write: median / max (" + std::to_string(r.firstWriteMs.size()) + " starts)",
       Fixed(firstWriteMedian, 1) + " / " + Fixed(Percentile(r.firstWriteMs, 100), 1) + " ms",
       "median <= 30 ms", "", "", Verdict(firstWriteMedian <= 30.0, busy, r.firstWriteMs.size(), 5)});
  rows.push_back({"start -> window shown (X MapNotify): median / max",
                  r.shownMeasured ? Fixed(Percentile(r.shownMs, 50), 1) + " / " +
                                        Fixed(Percentile(r.shownMs, 100), 1) + " ms"
                                  : std::string("not measured"),
                  "", "", "", ""});

  // CPU and memory.
  rows.push_back({"CPU idle over " + Fixed(r.idleSeconds, 0) + " s, scheduler's ns counters",
                  Fixed(r.idleScheduledPercent, 4) + " % of a core", "<= 0.01 %", "", "",
                  verdict(r.idleScheduledPercent <= 0.01)});
  if (r.floorIdleScheduledPercent >= 0) {
    rows.push_back(
        {r.wine ? "CPU idle beside the minimal Windows program with the same poll timer, under Wine (floor; "
                  "each its own Wine process, all threads)"
                : "CPU idle beside a minimal window of the same toolkit and timer (floor)",
         Fixed(r.idleScheduledPercent, 4) + " % of a core", "ratio <= 1.3",
         Fixed(r.floorIdleScheduledPercent, 4) + " %",
         Ratio(r.idleScheduledPercent, r.floorIdleScheduledPercent),
         verdict(r.floorIdleScheduledPercent > 0 &&
                 r.idleScheduledPercent <= 1.3 * r.floorIdleScheduledPercent)});
  }
  if (r.wineSharedIdleScheduledPercent >= 0)
    rows.push_back({"CPU idle of Wine's shared processes (wineserver, services), for both programs together",
                    Fixed(r.wineSharedIdleScheduledPercent, 4) + " % of a core", "", "", "", ""});
  rows.push_back({"CPU idle, utime+stime (clock ticks, coarse)", Fixed(r.idleCpuPercent, 3) + " % of a core",
                  "", "", "", ""});
  const double heldFloor = r.wine ? r.heldFloorWindowCpuPercent : r.heldFloorCpuPercent;
  rows.push_back({std::string("CPU during a held request") +
                      (r.wine ? " (floor: the minimal Windows program beside it, idle)"
                              : " (floor: a minimal program sleeping to deadlines a second apart)"),
                  Fixed(r.heldCpuPercent, 2) + " % of a core", "<= 1 %",
                  heldFloor >= 0 ? Fixed(heldFloor, 3) + " %" : "", Ratio(r.heldCpuPercent, heldFloor),
                  verdict(r.heldCpuPercent <= 1.0)});
  rows.push_back({"memory: private dirty (the program's own)", Fixed(r.privateDirtyMiB, 2) + " MiB",
                  "<= 4 MB", "", "", verdict(r.privateDirtyMiB > 0 && r.privateDirtyMiB * 1.048576 <= 4.0)});
  rows.push_back(
      {"memory: proportional set size / resident, of which the toolkit's (Qt's or Wine's) libraries",
       Fixed(r.pssMiB, 1) + " / " + Fixed(r.rssMiB, 1) + " MiB, " + Fixed(r.toolkitMiB, 1) + " MiB", "", "",
       "", ""});
  rows.push_back({"memory: peak resident (VmHWM)", Fixed(r.peakRssMiB, 1) + " MiB", "", "", "", ""});
  return rows;
}

void PrintTable(const Results& r, const std::vector<Row>& rows) {
  std::cout << "Program: " << r.program << (r.window ? "" : " (console front end, no window)") << "\n";
  std::cout << "Load average (1 min) before / at the end of the quiet phases / after the runs under load: "
            << Fixed(r.loadBefore, 2) << " / " << Fixed(r.loadQuietEnd, 2) << " / " << Fixed(r.loadAfter, 2)
            << (Busy(r) ? " (busy: another's work ran beside the run; its figures are not judged)" : "")
            << "\n\n";
  std::cout << "| measure | value | target | floor | ratio | holds |\n|---|---|---|---|---|---|\n";
  for (const Row& row : rows)
    std::cout << "| " << row.measure << " | " << row.value << " | " << row.target << " | " << row.floor
              << " | " << row.ratio << " | " << row.holds << " |\n";
  if (r.verdicts.Failed())
    std::cout << "\nThe answer checker found: " << supervisor::Faults(r.verdicts) << ".\n";
  if (r.lost) std::cout << "\n" << r.lost << " port access(es) were lost from the record.\n";
  for (const std::string& note : r.notes) std::cout << "\nNote: " << note << "\n";
}

void WriteJson(bool quick, const Results& r, const std::vector<Row>& rows, const std::string& path) {
  using bench_common::Json;
  using bench_common::Rounded;
  Json table = Json::array();
  for (const Row& row : rows)
    table.push_back({{"measure", row.measure},
                     {"value", row.value},
                     {"target", row.target},
                     {"floor", row.floor},
                     {"ratio", row.ratio},
                     {"holds", row.holds}});
  Json stepErrors = Json::array();
  for (const std::vector<double>& step : r.stepErrorUs) stepErrors.push_back(Rounded(step, 3));
  const Json json{
      {"program", r.program},
      {"window", r.window},
      {"wine", r.wine},
      {"quick", quick},
      {"display", std::getenv("DISPLAY") ? "xcb" : "offscreen"},
      {"table", table},
      {"samples",
       {{"edge_spacing_error_us", stepErrors},
        {"request_to_first_edge_ms", Rounded(r.raiseToEdgeMs, 3)},
        {"poll_to_first_edge_us", Rounded(r.pollToEdgeUs, 3)},
        {"idle_tick_interval_ms", Rounded(r.tickMs, 3)},
        {"floor_timerfd_interval_ms", Rounded(r.floorTickMs, 3)},
        {"floor_window_tick_interval_ms", Rounded(r.floorWindowTickMs, 3)},
        {"loaded_step_error_us", Rounded(r.loadStepErrorUs, 3)},
        {"held_gap_ms", Rounded(r.heldGapMs, 3)},
        {"start_to_first_write_ms", Rounded(r.firstWriteMs, 3)},
        {"start_to_window_shown_ms", Rounded(r.shownMs, 3)},
        {"service_loaded_step_error_us", Rounded(r.serviceLoadStepErrorUs, 3)},
        {"sleep_floor_lateness_us", Rounded(r.sleepFloorLatenessUs, 3)},
        {"loaded_sleep_floor_lateness_us", Rounded(r.loadFloorLatenessUs, 3)},
        {"service_loaded_sleep_floor_lateness_us", Rounded(r.serviceLoadFloorLatenessUs, 3)}}},
      {"idle_seconds", Rounded(r.idleSeconds, 3)},
      {"idle_cpu_percent", Rounded(r.idleCpuPercent, 4)},
      {"idle_scheduled_cpu_percent", Rounded(r.idleScheduledPercent, 4)},
      {"floor_window_idle_scheduled_cpu_percent", Rounded(r.floorIdleScheduledPercent, 4)},
      {"wine_shared_idle_scheduled_cpu_percent", Rounded(r.wineSharedIdleScheduledPercent, 4)},
      {"held_cpu_percent", Rounded(r.heldCpuPercent, 2)},
      {"peak_rss_mib", Rounded(r.peakRssMiB, 2)},
      {"rss_mib", Rounded(r.rssMiB, 2)},
      {"pss_mib", Rounded(r.pssMiB, 2)},
      {"private_dirty_mib", Rounded(r.privateDirtyMiB, 2)},
      {"qt_libraries_rss_mib", Rounded(r.toolkitMiB, 2)},
      {"scheduler_tick_ms", Rounded(r.schedulerTickMs, 2)},
      {"loaded_answers", r.loadAnswers},
      {"loaded_faults", r.loadFaults},
      {"answers_timed", r.verdicts.answers},
      {"answers_ok", r.verdicts.ok},
      {"late_answers", r.verdicts.late},
      {"malformed_answers", r.verdicts.malformed},
      {"unrequested_answers", r.verdicts.unrequested},
      {"missing_answers", r.verdicts.missing},
      {"stray_writes", r.verdicts.strayWrites},
      {"lost_accesses", r.lost},
      {"involuntary_switches_in_answers", r.switchesInAnswers},
      {"steal_percent_in_answers", Rounded(r.stealPercentInAnswers, 3)},
      {"busy_wait_gaps_over_100us_per_s", Rounded(r.probeGapsPerSecond, 2)},
      {"busy_wait_largest_gap_us", Rounded(r.probeMaxGapUs, 1)},
      {"load_average_before", Rounded(r.loadBefore, 2)},
      {"load_average_after", Rounded(r.loadAfter, 2)},
      {"load_class", r.loadClass},
      {"service_class", r.serviceClass},
  };
  std::ofstream(path) << bench_common::JsonText(json);
}

}  // namespace quorvane::bench
