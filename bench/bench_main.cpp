// quorvane-bench: times the real program on the simulated port. Every port
// access the program makes is stamped with CLOCK_MONOTONIC inside the
// program's own process by the simulated port library, so the answer's edges
// and the polls are timed where they happen; this side only raises and
// drops the request line and reads the record.

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "bench/answer_timing.h"
#include "bench/process_usage.h"
#include "bench/program_under_test.h"
#include "bench/statistics.h"
#include "bench/window_probe.h"
#include "simulated_port/simulated_port_layout.h"

namespace quorvane::bench {
namespace {

using namespace std::chrono_literals;
using simport::Access;

constexpr const char* kCaption = "Quorvane - Tamsel";

struct Options {
  std::string program = DEFAULT_PROGRAM;
  std::string libraryFolder = SIMULATED_PORT_DIR;
  int sequences = 20;
  int idleSeconds = 60;
  int heldAnswers = 5;
  int startups = 5;
  std::string jsonPath;
  bool quick = false;
};

void Usage() {
  std::cout << "usage: quorvane-bench [--quick] [--program PATH] [--sequences N] [--idle-seconds S]\n"
               "                      [--held N] [--startups N] [--library-dir DIR] [--json FILE]\n\n"
               "Runs the program on the simulated port and reports its timing, CPU use and memory.\n"
               "  --program PATH     the program to time (default " DEFAULT_PROGRAM ")\n"
               "  --sequences N      single requests answered and timed (default 20)\n"
               "  --idle-seconds S   span with no request for idle CPU and tick period (default 60)\n"
               "  --held N           answers given to one held request (default 5)\n"
               "  --startups N       separate starts timed (default 5)\n"
               "  --library-dir DIR  folder of the simulated libinpout32.so (default " SIMULATED_PORT_DIR ")\n"
               "  --json FILE        also write the results as JSON\n"
               "  --quick            a short run: 5 sequences, 10 s idle, 2 held answers, 2 starts\n"
               "With DISPLAY set (for instance under xvfb-run) the program runs on X and the time\n"
               "its window is mapped is measured; otherwise it runs offscreen.\n";
}

std::optional<Options> Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      Usage();
      std::exit(0);
    } else if (arg == "--quick") {
      options.quick = true;
      options.sequences = 5;
      options.idleSeconds = 10;
      options.heldAnswers = 2;
      options.startups = 2;
    } else if (arg == "--program") {
      options.program = value();
    } else if (arg == "--library-dir") {
      options.libraryFolder = value();
    } else if (arg == "--sequences") {
      options.sequences = std::stoi(value());
    } else if (arg == "--idle-seconds") {
      options.idleSeconds = std::stoi(value());
    } else if (arg == "--held") {
      options.heldAnswers = std::stoi(value());
    } else if (arg == "--startups") {
      options.startups = std::stoi(value());
    } else if (arg == "--json") {
      options.jsonPath = value();
    } else {
      throw std::invalid_argument("unknown option " + arg + " (see --help)");
    }
  }
  if (options.sequences < 1 || options.idleSeconds < 2 || options.heldAnswers < 2 || options.startups < 1)
    throw std::invalid_argument("counts must be at least 1 (idle at least 2 s, held at least 2)");
  return options;
}

bool IsPoll(const Access& a) { return !a.write && a.port == simport::kStatusPort; }

struct Results {
  std::string program;
  bool window = false;
  bool shownMeasured = false;
  std::vector<double> firstWriteMs, shownMs;
  double idleSeconds = 0, idleCpuPercent = 0, idleScheduledPercent = 0;
  std::vector<double> tickMs;
  std::vector<double> stepErrorUs[3];
  int answersTimed = 0, malformed = 0;
  std::vector<double> raiseToEdgeMs, pollToEdgeUs;
  double heldCpuPercent = 0;
  std::vector<double> heldGapMs;
  double peakRssMiB = 0;
  std::uint64_t switchesInAnswers = 0;
  double stealPercentInAnswers = 0;
  double probeMaxGapUs = 0, probeGapsPerSecond = 0;
  double loadBefore = 0, loadAfter = 0;
  std::uint64_t lost = 0;
  std::vector<std::string> notes;
};

void Say(const std::string& text) {
  std::cerr << "[bench] " << text << std::endl;
}

// How often this machine takes a busy-waiting thread off its CPU: a busy
// loop of our own reads the clock for 2 s and counts the gaps over 100 us.
// Any such gap that covers the end of one of the program's one-second waits
// delays that edge by as much; it is the floor under the edge spacing error.
void ProbeBusyWaitGaps(Results& results) {
  const std::uint64_t start = simport::NowNs();
  std::uint64_t previous = start, gaps = 0, largest = 0;
  for (std::uint64_t now = start; now - start < 2000000000u; now = simport::NowNs()) {
    const std::uint64_t gap = now - previous;
    if (gap > 100000u) ++gaps;
    if (gap > largest) largest = gap;
    previous = now;
  }
  results.probeMaxGapUs = static_cast<double>(largest) / 1000.0;
  results.probeGapsPerSecond = static_cast<double>(gaps) / 2.0;
}

// Process start to first port write, and to the window mapped.
void TimeStartUps(const Options& options, Results& results) {
  for (int run = 0; run < options.startups; ++run) {
    WindowProbe probe;
    ProgramUnderTest program(options.program, options.libraryFolder);
    program.Start();
    const auto first = program.WaitFor([](const Access&) { return true; }, 10s);
    if (!first) throw std::runtime_error("no port access after start:\n" + program.Errors());
    results.firstWriteMs.push_back(Ms(program.StartNs(), first->timeNs));
    if (probe.Available() && results.window) {
      if (const auto shown = probe.WaitForShown(kCaption, 10000)) {
        results.shownMs.push_back(Ms(program.StartNs(), *shown));
        results.shownMeasured = true;
      }
    }
  }
}

void Run(const Options& options, Results& results) {
  results.program = options.program;
  results.loadBefore = LoadAverage();
  results.window = options.program.find("console") == std::string::npos;
  Say("probing how often a busy loop is interrupted here (2 s)");
  ProbeBusyWaitGaps(results);
  Say("timing " + std::to_string(options.startups) + " start-ups");
  TimeStartUps(options, results);

  ProgramUnderTest program(options.program, options.libraryFolder);
  program.Start();
  if (!program.WaitFor(IsPoll, 5s)) throw std::runtime_error("the program never polled:\n" + program.Errors());
  std::this_thread::sleep_for(1500ms);  // let start-up work settle

  // Idle: no request; the bench sleeps and reads the record once a second.
  Say("idle for " + std::to_string(options.idleSeconds) + " s");
  program.Collect();
  const std::size_t idleFrom = program.Accesses().size();
  const auto cpu0 = CpuSeconds(program.Pid()), sched0 = ScheduledSeconds(program.Pid());
  const auto t0 = simport::NowNs();
  for (int s = 0; s < options.idleSeconds; ++s) {
    std::this_thread::sleep_for(1s);
    program.Collect();
  }
  const auto cpu1 = CpuSeconds(program.Pid()), sched1 = ScheduledSeconds(program.Pid());
  const double span = Ms(t0, simport::NowNs()) / 1000.0;
  results.idleSeconds = span;
  if (cpu0 && cpu1) results.idleCpuPercent = (*cpu1 - *cpu0) / span * 100.0;
  if (sched0 && sched1) results.idleScheduledPercent = (*sched1 - *sched0) / span * 100.0;
  results.tickMs = IdleTickIntervalsMs(program.Accesses(), idleFrom, program.Accesses().size());

  // Single requests, raised at phases spread over the tick so the
  // raise-to-first-edge latency covers the whole range.
  Say("timing " + std::to_string(options.sequences) + " single requests");
  const auto switches0 = InvoluntarySwitches(program.Pid());
  const auto machine0 = MachineCpuTicks();
  for (int i = 0; i < options.sequences; ++i) {
    const auto poll = program.WaitFor(IsPoll, 3s);
    if (!poll) throw std::runtime_error("the program stopped polling");
    const auto offset = std::chrono::milliseconds(100 + 800 * i / options.sequences);
    std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(poll->timeNs)) +
                                  offset);
    const std::size_t from = program.Accesses().size();
    program.Port().RaiseRequest();
    const auto raisedNs = simport::NowNs();
    const auto first = program.WaitFor(simport::IsWriteTo(simport::kControlPort), 3s);
    program.Port().DropRequest();
    if (!first) throw std::runtime_error("a request was not answered");
    results.raiseToEdgeMs.push_back(Ms(raisedNs, first->timeNs));
    // Sleep through the answer rather than watch it, so this side takes no
    // CPU time from the program while it times its steps.
    std::this_thread::sleep_for(3100ms);
    program.Collect();
    const std::size_t done = program.Accesses().size();
    if (FindAnswers(program.Accesses(), from, done).empty()) {
      for (int e = 0; e < 3; ++e) program.WaitFor(simport::IsWriteTo(simport::kControlPort), 2s);
    }
    const auto answers = FindAnswers(program.Accesses(), from, program.Accesses().size());
    for (const auto& answer : answers) {
      ++results.answersTimed;
      if (!answer.wellFormed) ++results.malformed;
      results.pollToEdgeUs.push_back(Ms(answer.poll.timeNs, answer.edges[0].timeNs) * 1000.0);
      for (int step = 0; step < 3; ++step)
        results.stepErrorUs[step].push_back(
            (Ms(answer.edges[step].timeNs, answer.edges[step + 1].timeNs) - 1000.0) * 1000.0);
    }
  }

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
  const std::size_t heldFrom = program.Accesses().size();
  const auto heldCpu0 = CpuSeconds(program.Pid());
  const auto h0 = simport::NowNs();
  program.Port().RaiseRequest();
  const auto heldDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5 * options.heldAnswers);
  for (;;) {
    std::this_thread::sleep_for(500ms);
    program.Collect();
    if (FindAnswers(program.Accesses(), heldFrom, program.Accesses().size()).size() >=
        static_cast<std::size_t>(options.heldAnswers))
      break;
    if (std::chrono::steady_clock::now() > heldDeadline) {
      results.notes.push_back("the held request stopped being answered");
      break;
    }
  }
  const auto heldCpu1 = CpuSeconds(program.Pid());
  const double heldSpan = Ms(h0, simport::NowNs()) / 1000.0;
  program.Port().DropRequest();
  if (heldCpu0 && heldCpu1) results.heldCpuPercent = (*heldCpu1 - *heldCpu0) / heldSpan * 100.0;
  const auto held = FindAnswers(program.Accesses(), heldFrom, program.Accesses().size());
  for (std::size_t k = 0; k < held.size(); ++k) {
    ++results.answersTimed;
    if (!held[k].wellFormed) ++results.malformed;
    for (int step = 0; step < 3; ++step)
      results.stepErrorUs[step].push_back(
          (Ms(held[k].edges[step].timeNs, held[k].edges[step + 1].timeNs) - 1000.0) * 1000.0);
    if (k > 0) results.heldGapMs.push_back(Ms(held[k - 1].edges[3].timeNs, held[k].edges[0].timeNs));
  }

  if (const auto peak = PeakResidentKiB(program.Pid())) results.peakRssMiB = static_cast<double>(*peak) / 1024.0;
  results.lost = program.Lost();
  results.loadAfter = LoadAverage();
  if (!program.Running()) results.notes.push_back("the program ended during the run: " + program.Errors());
}

// ---- reporting ----

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

struct Row {
  std::string measure, value, target, holds;
};

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
  rows.push_back({"edge spacing error, all steps: max / p99 (" + std::to_string(r.answersTimed) + " answers)",
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
  if (r.malformed) std::cout << "\n" << r.malformed << " answer(s) were malformed.\n";
  if (r.lost) std::cout << "\n" << r.lost << " port access(es) were lost from the record.\n";
  for (const std::string& note : r.notes) std::cout << "\nNote: " << note << "\n";
}

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

void WriteJson(const Options& o, const Results& r, const std::vector<Row>& rows, const std::string& path) {
  std::ofstream out(path);
  out << "{\n  \"program\": \"" << Escape(r.program) << "\",\n  \"window\": " << (r.window ? "true" : "false")
      << ",\n  \"quick\": " << (o.quick ? "true" : "false") << ",\n  \"display\": \""
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
      << "  \"answers_timed\": " << r.answersTimed << ",\n  \"malformed_answers\": " << r.malformed
      << ",\n  \"lost_accesses\": " << r.lost << ",\n  \"involuntary_switches_in_answers\": "
      << r.switchesInAnswers << ",\n  \"steal_percent_in_answers\": " << Fixed(r.stealPercentInAnswers, 3)
      << ",\n  \"busy_loop_gaps_over_100us_per_s\": " << Fixed(r.probeGapsPerSecond, 2)
      << ",\n  \"busy_loop_largest_gap_us\": " << Fixed(r.probeMaxGapUs, 1)
      << ",\n  \"load_average_before\": " << Fixed(r.loadBefore, 2)
      << ",\n  \"load_average_after\": " << Fixed(r.loadAfter, 2) << "\n}\n";
}

}  // namespace
}  // namespace quorvane::bench

int main(int argc, char** argv) {
  using namespace quorvane::bench;
  try {
    const auto options = Parse(argc, argv);
    Results results;
    Run(*options, results);
    const auto rows = Table(results);
    PrintTable(results, rows);
    if (!options->jsonPath.empty()) WriteJson(*options, results, rows, options->jsonPath);
    return 0;
  } catch (const std::exception& failure) {
    std::cerr << "quorvane-bench: " << failure.what() << "\n";
    return 1;
  }
}
