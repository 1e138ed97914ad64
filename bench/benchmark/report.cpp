#include "bench/benchmark/report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "bench/benchmark/statistics.h"

namespace quorvane::bench {

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

std::vector<Row> Table(const Results& r) {
  std::vector<Row> rows;
  auto verdict = [](bool ok) { return std::string(ok ? "yes" : "NO"); };
  std::vector<double> allSteps;
  for (int step = 0; step < 3; ++step) {
    const auto errors = Magnitudes(r.stepErrorUs[step]);
    allSteps.insert(allSteps.end(), errors.begin(), errors.end());
    const char* names[] = {"step 1 (0 -> 1)", "step 2 (1 -> 0)", "step 3 (0 -> 1)"};
    rows.push_back({std::string("edge spacing error, ") + names[step] + ": max / p99",
                    Fixed(Percentile(errors, 100), 1) + " / " + Fixed(Percentile(errors, 99), 1) + " us", "", ""});
  }
  const double allMax = Percentile(allSteps, 100);
  rows.push_back({"edge spacing error, all steps: median", Fixed(Percentile(allSteps, 50), 1) + " us", "", ""});
  rows.push_back({"edge spacing error, all steps: max / p99 (" + std::to_string(r.verdicts.answers) + " answers)",
                  Fixed(allMax, 1) + " / " + Fixed(Percentile(allSteps, 99), 1) + " us", "max <= 100 us",
                  verdict(allMax <= 100.0)});
  rows.push_back({"involuntary context switches of the program during the single answers",
                  std::to_string(r.switchesInAnswers), "", ""});
  rows.push_back({"a busy loop of the benchmark's own (2 s): gaps over 100 us per s / largest gap",
                  Fixed(r.probeGapsPerSecond, 1) + " / " + Fixed(r.probeMaxGapUs, 1) + " us", "", ""});
  rows.push_back({"CPU time stolen by the hypervisor during the single answers",
                  Fixed(r.stealPercentInAnswers, 2) + " % of all CPU time", "", ""});
  rows.push_back({"request raised -> first edge: min / median / max",
                  Fixed(Percentile(r.raiseToEdgeMs, 0), 1) + " / " + Fixed(Percentile(r.raiseToEdgeMs, 50), 1) +
                      " / " + Fixed(Percentile(r.raiseToEdgeMs, 100), 1) + " ms",
                  "", ""});
  rows.push_back({"poll that saw it -> first edge: min / median / max",
                  Fixed(Percentile(r.pollToEdgeUs, 0), 1) + " / " + Fixed(Percentile(r.pollToEdgeUs, 50), 1) +
                      " / " + Fixed(Percentile(r.pollToEdgeUs, 100), 1) + " us",
                  "", ""});
  std::vector<double> deviations;
  for (double interval : r.tickMs) deviations.push_back(std::fabs(interval - 1000.0));
  const double tickP99 = Percentile(deviations, 99);
  rows.push_back({"tick period: mean (" + std::to_string(r.tickMs.size()) + " idle ticks)",
                  Fixed(Mean(r.tickMs), 3) + " ms", "", ""});
  rows.push_back({"tick period: deviation from 1000 ms, p99 / max",
                  Fixed(tickP99, 3) + " / " + Fixed(Percentile(deviations, 100), 3) + " ms", "p99 <= 1 ms",
                  verdict(!deviations.empty() && tickP99 <= 1.0)});
  rows.push_back({"held request: gap between answers min / max",
                  Fixed(Percentile(r.heldGapMs, 0), 1) + " / " + Fixed(Percentile(r.heldGapMs, 100), 1) + " ms", "",
                  ""});
  const double firstWriteMax = Percentile(r.firstWriteMs, 100);
  rows.push_back({"start -> first port write: median / max (" + std::to_string(r.firstWriteMs.size()) + " starts)",
                  Fixed(Percentile(r.firstWriteMs, 50), 1) + " / " + Fixed(firstWriteMax, 1) + " ms", "<= 100 ms",
                  verdict(firstWriteMax <= 100.0)});
  rows.push_back({"start -> window shown (X MapNotify): median / max",
                  r.shownMeasured ? Fixed(Percentile(r.shownMs, 50), 1) + " / " +
                                        Fixed(Percentile(r.shownMs, 100), 1) + " ms"
                                  : std::string("not measured"),
                  "", ""});
  rows.push_back({"CPU idle, utime+stime over " + Fixed(r.idleSeconds, 0) + " s",
                  Fixed(r.idleCpuPercent, 3) + " % of a core", "<= 0.1 %", verdict(r.idleCpuPercent <= 0.1)});
  rows.push_back({"CPU idle, scheduler time (ns resolution)", Fixed(r.idleScheduledPercent, 3) + " % of a core",
                  "", ""});
  rows.push_back({"CPU during a held request", Fixed(r.heldCpuPercent, 1) + " % of a core", "", ""});
  rows.push_back({"peak resident memory (VmHWM)", Fixed(r.peakRssMiB, 1) + " MiB", "<= 30 MB",
                  verdict(r.peakRssMiB * 1.048576 <= 30.0)});
  return rows;
}

void PrintTable(const Results& r, const std::vector<Row>& rows) {
  std::cout << "Program: " << r.program << (r.window ? "" : " (console front end, no window)") << "\n";
  std::cout << "Load average (1 min) before / after: " << Fixed(r.loadBefore, 2) << " / " << Fixed(r.loadAfter, 2)
            << "\n\n";
  std::cout << "| measure | value | target | holds |\n|---|---|---|---|\n";
  for (const Row& row : rows)
    std::cout << "| " << row.measure << " | " << row.value << " | " << row.target << " | " << row.holds << " |\n";
  if (r.verdicts.Failed()) std::cout << "\nThe answer checker found: " << supervisor::Faults(r.verdicts) << ".\n";
  if (r.lost) std::cout << "\n" << r.lost << " port access(es) were lost from the record.\n";
  for (const std::string& note : r.notes) std::cout << "\nNote: " << note << "\n";
}

namespace {

std::string Json(const std::vector<double>& samples) {
  std::string text = "[";
  for (std::size_t i = 0; i < samples.size(); ++i) text += (i ? ", " : "") + Fixed(samples[i], 3);
  return text + "]";
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace

void WriteJson(bool quick, const Results& r, const std::vector<Row>& rows, const std::string& path) {
  std::ofstream out(path);
  out << "{\n  \"program\": \"" << Escape(r.program) << "\",\n  \"window\": " << (r.window ? "true" : "false")
      << ",\n  \"quick\": " << (quick ? "true" : "false") << ",\n  \"display\": \""
      << (std::getenv("DISPLAY") ? "xcb" : "offscreen") << "\",\n  \"table\": [\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    out << "    {\"measure\": \"" << Escape(rows[i].measure) << "\", \"value\": \"" << Escape(rows[i].value)
        << "\", \"target\": \"" << rows[i].target << "\", \"holds\": \"" << rows[i].holds << "\"}"
        << (i + 1 < rows.size() ? "," : "") << "\n";
  }
  out << "  ],\n  \"samples\": {\n"
      << "    \"edge_spacing_error_us\": [" << Json(r.stepErrorUs[0]) << ", " << Json(r.stepErrorUs[1]) << ", "
      << Json(r.stepErrorUs[2]) << "],\n"
      << "    \"request_to_first_edge_ms\": " << Json(r.raiseToEdgeMs) << ",\n"
      << "    \"poll_to_first_edge_us\": " << Json(r.pollToEdgeUs) << ",\n"
      << "    \"idle_tick_interval_ms\": " << Json(r.tickMs) << ",\n"
      << "    \"held_gap_ms\": " << Json(r.heldGapMs) << ",\n"
      << "    \"start_to_first_write_ms\": " << Json(r.firstWriteMs) << ",\n"
      << "    \"start_to_window_shown_ms\": " << Json(r.shownMs) << "\n  },\n"
      << "  \"idle_seconds\": " << Fixed(r.idleSeconds, 3) << ",\n"
      << "  \"idle_cpu_percent\": " << Fixed(r.idleCpuPercent, 4) << ",\n"
      << "  \"idle_scheduled_cpu_percent\": " << Fixed(r.idleScheduledPercent, 4) << ",\n"
      << "  \"held_cpu_percent\": " << Fixed(r.heldCpuPercent, 2) << ",\n"
      << "  \"peak_rss_mib\": " << Fixed(r.peakRssMiB, 2) << ",\n"
      << "  \"answers_timed\": " << r.verdicts.answers << ",\n  \"answers_ok\": " << r.verdicts.ok
      << ",\n  \"late_answers\": " << r.verdicts.late << ",\n  \"malformed_answers\": " << r.verdicts.malformed
      << ",\n  \"unrequested_answers\": " << r.verdicts.unrequested
      << ",\n  \"missing_answers\": " << r.verdicts.missing << ",\n  \"stray_writes\": " << r.verdicts.strayWrites
      << ",\n  \"lost_accesses\": " << r.lost << ",\n  \"involuntary_switches_in_answers\": "
      << r.switchesInAnswers << ",\n  \"steal_percent_in_answers\": " << Fixed(r.stealPercentInAnswers, 3)
      << ",\n  \"busy_loop_gaps_over_100us_per_s\": " << Fixed(r.probeGapsPerSecond, 2)
      << ",\n  \"busy_loop_largest_gap_us\": " << Fixed(r.probeMaxGapUs, 1)
      << ",\n  \"load_average_before\": " << Fixed(r.loadBefore, 2)
      << ",\n  \"load_average_after\": " << Fixed(r.loadAfter, 2) << "\n}\n";
}

}  // namespace quorvane::bench
