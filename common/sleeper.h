#pragma once

#include <cstdint>

namespace quorvane {

// Blocking the program's one thread until a time on the monotonic clock
// (Clock::MonotonicNanoseconds), beside the Clock that reads it: the answer
// sleeps through most of each one-second step instead of spinning on the
// clock, and tests with a fake clock see every sleep.
class Sleeper {
 public:
  virtual ~Sleeper() = default;

  // Blocks until the monotonic clock reads `deadlineNs` or later; a
  // deadline already passed returns at once. It never returns early (a
  // signal puts it back to sleep), but may return late by the system's
  // wake-up lateness.
  virtual void SleepUntil(std::int64_t deadlineNs) = 0;

  // How long before a due time a precise wait stops sleeping and reads the
  // clock instead: more than this system's wake-up lateness, so the wake-up
  // comes before the due time and the step is not late by it.
  virtual std::int64_t WakeUpMarginNs() const = 0;

  // Bracket a span of precise sleeps (one answer), for a system that must
  // be asked for a finer timer while they last.
  virtual void BeginPreciseSleeps() {}
  virtual void EndPreciseSleeps() {}
};

}  // namespace quorvane
