#pragma once

// The command line of quorvane-supervisor: what to play on the request line,
// how strictly to judge the answers, where to write the extra outputs.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::supervisor {

enum class PatternKind {
  kOnce,   // one request
  kEvery,  // a request every N seconds
  kHold,   // the line held raised for N seconds
  kPulse,  // a pulse shorter than a tick, placed between two polls
  kIdle    // the line left low for N seconds: nothing may be answered
};

struct Options {
  PatternKind pattern = PatternKind::kEvery;
  double patternSeconds = 10;  // every N, hold N, idle N
  double pulseMs = 300;        // pulse MS
  // How many requests (once, every) or pulses; 0 = no limit (every only).
  int count = 0;

  std::string statePath;  // empty: the client's default path
  // The other inputs of the status register, set at the start (bit 4, the
  // request line, is the pattern's); none = left as they are.
  std::optional<std::uint8_t> statusBits;
  std::optional<double> seconds;      // total run time; none = until the pattern is done or Ctrl-C
  double deadlineSeconds = 3.0;       // a request unanswered this long is missing
  double toleranceMs = 50;            // allowed error of each one-second step
  std::optional<double> lateSeconds;  // default: see LateSeconds()

  bool waitPoll = false;  // start the pattern at the program's first poll
  bool wine = false;      // the program's stamps are on Wine's clock
  bool quiet = false;
  std::string vcdPath;
  bool vcdRegisters = false;  // also the whole status and control bytes
  std::string jsonPath;
  bool help = false;

  // A poll comes once a second, so the first edge is due within one tick of
  // the request, plus the tolerance and some slack for a loaded machine.
  double LateSeconds() const { return lateSeconds.value_or(1.0 + toleranceMs / 1000 + 0.15); }
  // The requests or pulses to play: once and pulse default to one.
  int RequestCount() const;
};

struct ParsedArguments {
  Options options;
  std::string error;  // empty when the arguments were good
};

// Parses the arguments after the program name. Never exits or prints.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

// "once", "every 10 s", "hold 5 s", "pulse 300 ms", "idle 5 s".
std::string DescribePattern(const Options& options);

}  // namespace quorvane::supervisor
