#include "bench/supervisor/run_summary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/common/json_text.h"

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
  char text[256];
  std::snprintf(text, sizeof text, "%-18s %s\n", name, value.c_str());
  return text;
}

std::string Line(const char* name, long long value) { return Line(name, std::to_string(value)); }

std::string Count(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Milliseconds(std::uint64_t ns) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", ns / 1e6);
  return text;
}

std::string JsonMicroseconds(const std::vector<std::uint64_t>& ns) {
  std::vector<double> us;
  us.reserve(ns.size());
  for (const std::uint64_t n : ns) us.push_back(n / 1e3);
  return bench_common::JsonNumbers(us, 3);
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
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f s%s", summary.seconds,
                summary.interrupted ? " (interrupted)" : "");
  text += Line("run time", seconds);
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
  char numbers[1024];
  std::snprintf(numbers, sizeof numbers,
                "  \"run_seconds\": %.3f,\n"
                "  \"interrupted\": %s,\n"
                "  \"never_polled\": %s,\n"
                "  \"requests\": %d,\n"
                "  \"pulses\": %d,\n"
                "  \"pulses_not_placed\": %d,\n"
                "  \"answers\": %d,\n"
                "  \"ok\": %d,\n"
                "  \"late\": %d,\n"
                "  \"malformed\": %d,\n"
                "  \"unrequested\": %d,\n"
                "  \"missing\": %d,\n"
                "  \"stray_writes\": %d,\n"
                "  \"unfinished\": %d,\n"
                "  \"lost_accesses\": %llu,\n",
                summary.seconds, summary.interrupted ? "true" : "false",
                summary.neverPolled ? "true" : "false", t.requests, t.pulses, summary.unplacedPulses,
                t.answers, t.ok, t.late, t.malformed, t.unrequested, t.missing, t.strayWrites, t.unfinished,
                static_cast<unsigned long long>(summary.lostAccesses));
  char spreads[512];
  std::snprintf(spreads, sizeof spreads,
                "  \"spacing_error_us\": {\"max\": %.3f, \"count\": %zu, \"values\": ", spacing.max / 1e3,
                t.spacingErrorsNs.size());
  std::string json = "{\n  \"pattern\": " + bench_common::JsonString(summary.pattern) + ",\n" + numbers +
                     spreads + JsonMicroseconds(t.spacingErrorsNs) + "},\n";
  std::snprintf(
      spreads, sizeof spreads,
      "  \"latency_us\": {\"min\": %.3f, \"median\": %.3f, \"max\": %.3f, \"count\": %zu, \"values\": ",
      latency.min / 1e3, latency.median / 1e3, latency.max / 1e3, t.latenciesNs.size());
  json += spreads + JsonMicroseconds(t.latenciesNs) + "},\n";
  json += "  \"result\": " + bench_common::JsonString(summary.Failed() ? "fail" : "pass") + ",\n";
  json += "  \"exit_code\": " + std::to_string(summary.ExitCode()) + "\n}\n";
  return json;
}

}  // namespace quorvane::supervisor
