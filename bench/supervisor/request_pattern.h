#pragma once

// When to raise and drop the request line. A state machine fed with the
// program's port accesses and the time (monotonic ns); the supervisor makes
// the changes it asks for. No processes, no clocks of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/supervisor/supervisor_options.h"
#include "port_libraries/simulated/simulated_port_client.h"

namespace quorvane::supervisor {

using simport::Access;

enum class LineChange { kNone, kRaiseRequest, kRaisePulse, kDrop };

struct PatternSettings {
  PatternKind kind = PatternKind::kOnce;
  std::uint64_t periodNs = 10'000'000'000;  // every
  std::uint64_t holdNs = 5'000'000'000;     // hold, idle
  std::uint64_t pulseNs = 300'000'000;      // pulse
  int count = 1;                            // requests or pulses; 0 = no limit
  std::uint64_t stepNs = 1'000'000'000;     // the program's poll period
  std::uint64_t deadlineNs = 3'000'000'000;

  static PatternSettings From(const Options& options);
};

struct PatternNote {
  bool error;  // a pulse that could not be placed
  std::string text;
};

class RequestPattern {
 public:
  RequestPattern(const PatternSettings& settings, std::uint64_t startNs);

  // The next port access the program made, in order.
  void Observe(const Access& access);
  // The change to make to the request line now, if any.
  LineChange Decide(std::uint64_t nowNs);
  // Nothing more to raise and the line is down.
  bool Finished() const;

  int UnplacedPulses() const { return unplaced_; }
  std::vector<PatternNote> TakeNotes();

 private:
  LineChange DecideRequest(std::uint64_t nowNs);
  LineChange DecidePulse(std::uint64_t nowNs);
  bool AllPlayed() const { return settings_.count > 0 && played_ >= settings_.count; }

  PatternSettings settings_;
  std::uint64_t startNs_;
  std::vector<PatternNote> notes_;
  int played_ = 0;
  bool idleOver_ = false;
  bool raised_ = false;
  std::uint64_t raisedNs_ = 0;

  // once, every: the next raise, and whether the program has begun to answer.
  std::uint64_t nextRaiseNs_;
  bool pollSawRaise_ = false;
  bool answerBegun_ = false;

  // pulse: the last two polls (status reads) since the last write to the
  // control register, which moves the poll phase.
  std::optional<std::uint64_t> previousPollNs_, lastPollNs_;
  std::optional<std::uint64_t> usedPollNs_;    // a poll whose gap is spent
  std::uint64_t waitingSinceNs_;               // looking for the phase since
  std::optional<std::uint64_t> watchUntilNs_;  // after a pulse: time for an answer to show
  int unplaced_ = 0;
};

}  // namespace quorvane::supervisor
