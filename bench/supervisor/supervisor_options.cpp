#include "bench/supervisor/supervisor_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "bench/common/formatted.h"

namespace quorvane::supervisor {

namespace {

constexpr const char* kUsage = R"USAGE(Usage: quorvane-supervisor [OPTIONS] [PATTERN]

Plays the supervising side of the simulated parallel port: raises the request
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
                (with --status 0xEF: every other input raised, still none)

Options:
  --file PATH       the state file; default $QUORVANE_SIMULATED_PORT, or
                    /tmp/quorvane-simulated-port-<uid> when that is unset
  --status BYTE     set the other inputs of the status register at the start
                    (0xEF, 0x08, 255: any C base; bit 4 is the pattern's)
  --seconds S       stop after S seconds in all (what is still awaited then
                    is reported as unfinished, not as an error)
  --count N         requests (once, every) or pulses (pulse) to play
  --deadline S      a request not answered within S seconds is missing
                    (default 3); once and every drop the line then
  --late S          an answer whose first edge comes more than S seconds
                    after the request is late (default 1.2: one tick plus
                    the tolerance plus 150 ms of slack)
  --tolerance MS    allowed error of each one-second step (default 50)
  --wait-poll       start the pattern half a tick after the program's first
                    poll (read of port 889), for a program started at the
                    same time; a run in which it never polls fails
  --wine            the program is a Windows one under Wine, whose accesses
                    are stamped on CLOCK_MONOTONIC_RAW (Wine's
                    QueryPerformanceCounter): they are read onto
                    CLOCK_MONOTONIC, the clock of the supervisor's own times
  --quiet           no live trace; print only the summary
  --vcd FILE        write the request and answer lines over time as a VCD
                    file (timescale 1 us) for GTKWave or PulseView
  --vcd-registers   also put the whole status and control bytes in the VCD
                    (8-bit vectors: GTKWave shows them, PulseView skips them)
  --json FILE       write the summary as JSON too
  --help            show this text

Live trace, one line per event: seconds since the start, the request line
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
  pulseview -I vcd:downsample=1000 -i hold.vcd   (1 ms samples; the file is in us)
)USAGE";

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

std::string Number(double value) { return bench_common::Formatted("%g", value); }

}  // namespace

const char* UsageText() { return kUsage; }

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
  std::vector<std::string> words;  // the pattern and its value
  bool countGiven = false;

  // Fails the parse with a message; the first failure wins.
  const auto fail = [&](const std::string& message) {
    if (result.error.empty()) result.error = message;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> attached;  // --name=value
    if (arg.rfind("--", 0) == 0) {
      if (const auto equals = arg.find('='); equals != std::string::npos) {
        attached = arg.substr(equals + 1);
        arg.resize(equals);
      }
    } else {
      words.push_back(arg);
      continue;
    }
    const auto flag = [&]() {
      if (attached) fail(arg + " takes no value");
    };
    // The option's value, or nullopt (and a failure) when there is none.
    const auto value = [&]() -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 < args.size()) return args[++i];
      fail(arg + " needs a value");
      return std::nullopt;
    };
    // A number within [low, high]; lowOpen excludes low itself.
    const auto number = [&](double low, bool lowOpen, double high,
                            const char* what) -> std::optional<double> {
      const auto text = value();
      if (!text) return std::nullopt;
      double parsed = 0;
      if (!ParseNumber(*text, &parsed) || parsed < low || (lowOpen && parsed == low) || parsed > high) {
        fail(arg + ": not " + what + ": '" + *text + "'");
        return std::nullopt;
      }
      return parsed;
    };

    if (arg == "--help") {
      flag();
      options.help = true;
    } else if (arg == "--quiet") {
      flag();
      options.quiet = true;
    } else if (arg == "--wait-poll") {
      flag();
      options.waitPoll = true;
    } else if (arg == "--wine") {
      flag();
      options.wine = true;
    } else if (arg == "--vcd-registers") {
      flag();
      options.vcdRegisters = true;
    } else if (arg == "--file" || arg == "--vcd" || arg == "--json") {
      const auto text = value();
      if (!text) continue;
      if (text->empty()) fail(arg + " needs a file name");
      (arg == "--file" ? options.statePath : arg == "--vcd" ? options.vcdPath : options.jsonPath) = *text;
    } else if (arg == "--status") {
      const auto text = value();
      if (!text) continue;
      char* end = nullptr;
      const unsigned long byte = std::strtoul(text->c_str(), &end, 0);
      if (text->empty() || !std::isdigit(static_cast<unsigned char>((*text)[0])) || *end != '\0' ||
          byte > 255)
        fail("--status: not a byte from 0 to 255 (0xEF, 239): '" + *text + "'");
      options.statusBits = static_cast<std::uint8_t>(byte);
    } else if (arg == "--seconds") {
      if (const auto n = number(0, true, 1e7, "a number of seconds above 0")) options.seconds = *n;
    } else if (arg == "--deadline") {
      if (const auto n = number(0, true, 3600, "a number of seconds above 0")) options.deadlineSeconds = *n;
    } else if (arg == "--late") {
      if (const auto n = number(0, true, 3600, "a number of seconds above 0")) options.lateSeconds = *n;
    } else if (arg == "--tolerance") {
      if (const auto n = number(0, false, 500, "a number of milliseconds from 0 to 500"))
        options.toleranceMs = *n;
    } else if (arg == "--count") {
      if (const auto n = number(1, false, 1e6, "a whole number from 1 up")) {
        if (*n != std::floor(*n)) fail("--count: not a whole number: '" + Number(*n) + "'");
        options.count = static_cast<int>(*n);
        countGiven = true;
      }
    } else {
      fail("unknown option " + arg);
    }
  }
  if (options.help) {
    result.error.clear();
    return result;
  }

  if (!words.empty()) {
    const std::string& name = words[0];
    const bool takesValue = name == "every" || name == "hold" || name == "pulse" || name == "idle";
    if (name == "once") {
      options.pattern = PatternKind::kOnce;
    } else if (!takesValue) {
      fail("unknown pattern '" + name + "' (once, every N, hold N, pulse MS, idle N)");
    } else if (words.size() < 2) {
      fail(name + (name == "pulse" ? " needs a length in milliseconds" : " needs a number of seconds"));
    } else {
      double n = 0;
      const bool good = ParseNumber(words[1], &n);
      if (name == "pulse") {
        options.pattern = PatternKind::kPulse;
        if (!good || n < 1 || n > 900)
          fail("pulse: not a length from 1 to 900 ms (it must fit between two polls): '" + words[1] + "'");
        options.pulseMs = n;
      } else {
        options.pattern = name == "every"  ? PatternKind::kEvery
                          : name == "hold" ? PatternKind::kHold
                                           : PatternKind::kIdle;
        if (!good || n < 0.1 || n > 1e6)
          fail(name + ": not a number of seconds from 0.1 up: '" + words[1] + "'");
        options.patternSeconds = n;
      }
    }
    const std::size_t expected = takesValue ? 2 : 1;
    if (words.size() > expected) fail("unexpected argument '" + words[expected] + "'");
  }

  if (countGiven && (options.pattern == PatternKind::kHold || options.pattern == PatternKind::kIdle))
    fail(std::string("--count does not apply to ") +
         (options.pattern == PatternKind::kHold ? "hold" : "idle"));
  if (options.lateSeconds && *options.lateSeconds > options.deadlineSeconds)
    fail("--late (" + Number(*options.lateSeconds) + " s) must not exceed --deadline (" +
         Number(options.deadlineSeconds) + " s)");
  if (!result.error.empty()) result.options = Options{};
  return result;
}

}  // namespace quorvane::supervisor
