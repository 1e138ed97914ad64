#include "bench/supervisor/supervisor_options.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "bench/common/help_layout.h"

namespace quorvane::supervisor {

namespace {

constexpr const char* kAbout =
    R"TEXT(Plays the supervising side of the simulated parallel port: raises the request
line (status bit 4, port 889) in a pattern, follows every port access the
program makes, and checks each answer on the control register (port 890):
0, 1, 0, 1, one second apart, ending at the idle value 1.

Patterns:
  once          one request: raise the line, drop it at the first write to
                port 890 (or after the deadline); ends when the answer has
                been judged
  every N       a request like once every N seconds, until --count requests,
                --seconds or Ctrl-C (the default: every 10)
  hold N        hold the line raised for N seconds: the program must answer
                back to back, one answer after another
  pulse MS      a pulse of MS milliseconds (1 to 900), centred between two
                polls: learns the poll phase from the program's reads of port
                889 and raises the line well after one poll, drops it well
                before the next. The program must NOT answer; an answer is
                reported as unrequested. One pulse, or --count pulses
  idle N        leave the line low for N seconds: any answer is unrequested
                (with --status 0xEF: every other input raised, still none))TEXT";

constexpr const char* kNotes =
    R"TEXT(Live trace, one line per event: seconds since the start, the request line
(status bit 4) and the answer line (control bit 0) after the event, then the
event: a port access ("R 889 status  0x10", "W 890 control 0x00"), a change
of the request line ("request line raised", "request line dropped (why)"),
or a tagged line: a verdict (OK, LATE, MALFORMED, UNREQUESTED, MISSING,
STRAY, UNFINISHED), NOTE, ERROR (a pulse not placed) or WARNING (accesses
lost). The summary follows, one "name  value" line each, the last one
"result  PASS" or "result  FAIL: <causes>"; --json writes the same figures,
with every step error and latency in microseconds.

A request raised while an answer is running is due from the end of that
answer, as the program cannot poll before. Latency (request to first edge)
is measured for requests raised while the program was idle.

Exit status:
  0  every answer came in time and well formed, and nothing came unasked
  1  a check failed: an answer missing, late, malformed or unrequested, a
     stray port write, a pulse that could not be placed between polls, or
     no poll at all with --wait-poll
  2  bad usage
  3  a file could not be opened or written: the state file, --vcd or --json

Examples:
  quorvane-supervisor                        a request every 10 s until Ctrl-C
  quorvane-supervisor once                   one request, exit 0 when answered
  quorvane-supervisor --quiet --json r.json every 5 --count 20
  quorvane-supervisor hold 12 --vcd hold.vcd  three answers back to back
  quorvane-supervisor pulse 300              must see no answer
  quorvane-supervisor --status 0xEF idle 5   other status bits start nothing
  gtkwave hold.vcd
  pulseview -I vcd:downsample=1000 -i hold.vcd   (1 ms samples; the file is in us))TEXT";

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

std::string Number(double value) { return fmt::format("{:g}", value); }

// A number within [low, high], above low itself when lowOpen; a whole one
// when `whole`. CLI11 puts the option's name before the refusal.
CLI::Validator Within(double low, bool lowOpen, double high, const std::string& what, bool whole = false) {
  return {[=](const std::string& text) -> std::string {
            double n = 0;
            if (ParseNumber(text, &n) && n >= low && !(lowOpen && n == low) && n <= high &&
                (!whole || n == std::floor(n)))
              return "";
            return "not " + what + ": '" + text + "'";
          },
          "", ""};
}

// 0 to 255 in any C base (0xEF, 0357, 239).
const CLI::Validator kByte{
    [](const std::string& text) -> std::string {
      char* end = nullptr;
      const unsigned long byte = std::strtoul(text.c_str(), &end, 0);
      if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) && *end == '\0' && byte <= 255)
        return "";
      return "not a byte from 0 to 255 (0xEF, 239): '" + text + "'";
    },
    "", ""};

// The command line's options and words, read into `options` and `words`
// (the pattern and its value) when it is parsed.
void Describe(CLI::App& app, Options& options, std::vector<std::string>& words, std::string& status) {
  bench_common::UseHelpLayout(app, 20);
  app.description(kAbout);
  app.footer(kNotes);
  app.set_help_flag("--help", "show this text");
  const auto flag = [&](const char* name, bool& value, const char* text) {
    app.add_flag(name, value, text)->disable_flag_override();
  };
  const auto value = [&](const char* name, auto& value, const char* type, const char* text) {
    return app.add_option(name, value, text)->type_name(type);
  };
  app.add_option("PATTERN", words, "once, every N, hold N, pulse MS or idle N (above)")->type_name("");
  value("--file", options.statePath, "PATH",
        "the state file; default $QUORVANE_SIMULATED_PORT, or\n"
        "$XDG_RUNTIME_DIR/quorvane-simulated-port, or\n"
        "/tmp/quorvane-simulated-port-<uid> without either");
  value("--status", status, "BYTE",
        "set the other inputs of the status register at the start\n"
        "(0xEF, 0x08, 255: any C base; bit 4 is the pattern's)")
      ->check(kByte);
  value("--seconds", options.seconds, "S",
        "stop after S seconds in all (what is still awaited then\n"
        "is reported as unfinished, not as an error)")
      ->check(Within(0, true, 1e7, "a number of seconds above 0"));
  value("--count", options.count, "N", "requests (once, every) or pulses (pulse) to play")
      ->check(Within(1, false, 1e6, "a whole number from 1 up", true));
  value("--deadline", options.deadlineSeconds, "S",
        "a request not answered within S seconds is missing\n"
        "(default 3); once and every drop the line then")
      ->check(Within(0, true, 3600, "a number of seconds above 0"));
  value("--late", options.lateSeconds, "S",
        "an answer whose first edge comes more than S seconds\n"
        "after the request is late (default 1.2: one tick plus\n"
        "the tolerance plus 150 ms of slack)")
      ->check(Within(0, true, 3600, "a number of seconds above 0"));
  value("--tolerance", options.toleranceMs, "MS", "allowed error of each one-second step (default 50)")
      ->check(Within(0, false, 500, "a number of milliseconds from 0 to 500"));
  flag("--wait-poll", options.waitPoll,
       "start the pattern half a tick after the program's first\n"
       "poll (read of port 889), for a program started at the\n"
       "same time; a run in which it never polls fails");
  flag("--wine", options.wine,
       "the program is a Windows one under Wine, whose accesses\n"
       "are stamped on CLOCK_MONOTONIC_RAW (Wine's\n"
       "QueryPerformanceCounter): they are read onto\n"
       "CLOCK_MONOTONIC, the clock of the supervisor's own times");
  flag("--quiet", options.quiet, "no live trace; print only the summary");
  value("--vcd", options.vcdPath, "FILE",
        "write the request and answer lines over time as a VCD\n"
        "file (timescale 1 us) for GTKWave or PulseView");
  flag("--vcd-registers", options.vcdRegisters,
       "also put the whole status and control bytes in the VCD\n"
       "(8-bit vectors: GTKWave shows them, PulseView skips them)");
  value("--json", options.jsonPath, "FILE", "write the summary as JSON too");
}

// The pattern from its words; an empty text when they are good, else why not.
std::string ReadPattern(const std::vector<std::string>& words, Options& options) {
  if (words.empty()) return "";
  const std::string& name = words[0];
  const bool takesValue = name == "every" || name == "hold" || name == "pulse" || name == "idle";
  const std::size_t expected = takesValue ? 2 : 1;
  if (name == "once") {
    options.pattern = PatternKind::kOnce;
  } else if (!takesValue) {
    return "unknown pattern '" + name + "' (once, every N, hold N, pulse MS, idle N)";
  } else if (words.size() < 2) {
    return name + (name == "pulse" ? " needs a length in milliseconds" : " needs a number of seconds");
  } else {
    double n = 0;
    const bool good = ParseNumber(words[1], &n);
    if (name == "pulse") {
      options.pattern = PatternKind::kPulse;
      if (!good || n < 1 || n > 900)
        return "pulse: not a length from 1 to 900 ms (it must fit between two polls): '" + words[1] + "'";
      options.pulseMs = n;
    } else {
      options.pattern = name == "every"  ? PatternKind::kEvery
                        : name == "hold" ? PatternKind::kHold
                                         : PatternKind::kIdle;
      if (!good || n < 0.1 || n > 1e6)
        return name + ": not a number of seconds from 0.1 up: '" + words[1] + "'";
      options.patternSeconds = n;
    }
  }
  if (words.size() > expected) return "unexpected argument '" + words[expected] + "'";
  return "";
}

// What the options say together; empty when they agree.
std::string CheckTogether(const Options& options) {
  const bool holdOrIdle = options.pattern == PatternKind::kHold || options.pattern == PatternKind::kIdle;
  if (options.count > 0 && holdOrIdle)
    return std::string("--count does not apply to ") +
           (options.pattern == PatternKind::kHold ? "hold" : "idle");
  if (options.lateSeconds && *options.lateSeconds > options.deadlineSeconds)
    return "--late (" + Number(*options.lateSeconds) + " s) must not exceed --deadline (" +
           Number(options.deadlineSeconds) + " s)";
  return "";
}

}  // namespace

std::string UsageText() {
  Options options;
  std::vector<std::string> words;
  std::string status;
  CLI::App app{"", "quorvane-supervisor"};
  Describe(app, options, words, status);
  return app.help();
}

int Options::RequestCount() const {
  if (count > 0) return count;
  return pattern == PatternKind::kEvery ? 0 : 1;
}

std::string DescribePattern(const Options& options) {
  switch (options.pattern) {
    case PatternKind::kOnce: return "once";
    case PatternKind::kEvery: return "every " + Number(options.patternSeconds) + " s";
    case PatternKind::kHold: return "hold " + Number(options.patternSeconds) + " s";
    case PatternKind::kPulse: return "pulse " + Number(options.pulseMs) + " ms";
    case PatternKind::kIdle: return "idle " + Number(options.patternSeconds) + " s";
  }
  return "";
}

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  ParsedArguments result;
  Options& options = result.options;
  std::vector<std::string> words;
  std::string status;
  CLI::App app{"", "quorvane-supervisor"};
  Describe(app, options, words, status);
  try {
    // CLI11 takes the arguments last first.
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::CallForHelp&) {
    result.options = Options{};
    result.options.help = true;
    return result;
  } catch (const CLI::ParseError& misuse) {
    result.error = misuse.what();
  }
  if (result.error.empty() && !status.empty())
    options.statusBits = static_cast<std::uint8_t>(std::strtoul(status.c_str(), nullptr, 0));
  if (result.error.empty()) result.error = ReadPattern(words, options);
  if (result.error.empty()) result.error = CheckTogether(options);
  if (!result.error.empty()) result.options = Options{};
  return result;
}

}  // namespace quorvane::supervisor
