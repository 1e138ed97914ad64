#include "bench/supervisor/run_summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "bench/common/json_figures.h"

namespace quorvane::supervisor {

namespace {

struct Spread {
  std::uint64_t min = 0, median = 0, max = 0;
};

// The median of an even count is the lower of the middle two: a sample
// that was really seen.
Spread SpreadOf(std::vector<std::uint64_t> values) {
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  spread.min = values.front();
  spread.median = values[(values.size() - 1) / 2];
  spread.max = values.back();
  return spread;
}

std::string Line(const char* name, const std::string& value) {
  return fmt::format("{:<18} {}\n", name, value);
}

std::string Line(const char* name, long long value) { return Line(name, std::to_string(value)); }

std::string Count(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Milliseconds(std::uint64_t ns) { return fmt::format("{:.3f} ms", ns / 1e6); }

// Nanoseconds as microseconds to the nanosecond, as the JSON gives them.
double Microseconds(std::uint64_t ns) { return bench_common::Rounded(ns / 1e3, 3); }

bench_common::Json Microseconds(const std::vector<std::uint64_t>& ns) {
  bench_common::Json list = bench_common::Json::array();
  for (const std::uint64_t n : ns) list.push_back(Microseconds(n));
  return list;
}

std::string FailureCauses(const RunSummary& summary) {
  std::string causes = Faults(summary.tally);
  const auto add = [&](const std::string& cause) { causes += (causes.empty() ? "" : ", ") + cause; };
  if (summary.unplacedPulses > 0) add(std::to_string(summary.unplacedPulses) + " pulses not placed");
  if (summary.neverPolled) add("the program never polled");
  return causes;
}

}  // namespace

std::string SummaryText(const RunSummary& summary) {
  const Tally& t = summary.tally;
  std::string text = "--- summary ---\n";
  text += Line("pattern", summary.pattern);
  text += Line("run time",
               fmt::format("{:.3f} s{}", summary.seconds, summary.interrupted ? " (interrupted)" : ""));
  text += Line("requests raised", t.requests);
  text += Line("pulses placed", t.pulses);
  if (summary.unplacedPulses) text += Line("pulses not placed", summary.unplacedPulses);
  text += Line("answers seen", t.answers);
  text += Line("  ok", t.ok);
  text += Line("  late", t.late);
  text += Line("  malformed", t.malformed);
  text += Line("  unrequested", t.unrequested);
  text += Line("missing", t.missing);
  text += Line("stray writes", t.strayWrites);
  text += Line("unfinished", t.unfinished);
  if (summary.lostAccesses) text += Line("lost accesses", static_cast<long long>(summary.lostAccesses));

  if (t.spacingErrorsNs.empty()) {
    text += Line("spacing error max", "- (no steps)");
  } else {
    const auto max = *std::max_element(t.spacingErrorsNs.begin(), t.spacingErrorsNs.end());
    text += Line("spacing error max",
                 std::to_string(max / 1000) + " us (" + Count(t.spacingErrorsNs.size(), "step") + ")");
  }
  if (t.latenciesNs.empty()) {
    text += Line("latency", "- (no request answered from idle)");
  } else {
    const Spread s = SpreadOf(t.latenciesNs);
    text += Line("latency", "min " + Milliseconds(s.min) + ", median " + Milliseconds(s.median) + ", max " +
                                Milliseconds(s.max) + " (" + Count(t.latenciesNs.size(), "request") + ")");
  }
  text += Line("result", summary.Failed() ? "FAIL: " + FailureCauses(summary) : std::string("PASS"));
  return text;
}

std::string SummaryJson(const RunSummary& summary) {
  const Tally& t = summary.tally;
  const Spread latency = SpreadOf(t.latenciesNs);
  const Spread spacing = SpreadOf(t.spacingErrorsNs);
  const bench_common::Json json{
      {"pattern", summary.pattern},
      {"run_seconds", bench_common::Rounded(summary.seconds, 3)},
      {"interrupted", summary.interrupted},
      {"never_polled", summary.neverPolled},
      {"requests", t.requests},
      {"pulses", t.pulses},
      {"pulses_not_placed", summary.unplacedPulses},
      {"answers", t.answers},
      {"ok", t.ok},
      {"late", t.late},
      {"malformed", t.malformed},
      {"unrequested", t.unrequested},
      {"missing", t.missing},
      {"stray_writes", t.strayWrites},
      {"unfinished", t.unfinished},
      {"lost_accesses", summary.lostAccesses},
      {"spacing_error_us",
       {{"max", Microseconds(spacing.max)},
        {"count", t.spacingErrorsNs.size()},
        {"values", Microseconds(t.spacingErrorsNs)}}},
      {"latency_us",
       {{"min", Microseconds(latency.min)},
        {"median", Microseconds(latency.median)},
        {"max", Microseconds(latency.max)},
        {"count", t.latenciesNs.size()},
        {"values", Microseconds(t.latenciesNs)}}},
      {"result", summary.Failed() ? "fail" : "pass"},
      {"exit_code", summary.ExitCode()},
  };
  return bench_common::JsonText(json);
}

}  // namespace quorvane::supervisor
