#pragma once

#include <cstdint>

namespace quorvane {

// A broken-down local date and time, as the user's clock shows it.
struct LocalTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59 (a leap second is folded into 59)
  int nanosecond = 0;
};

// Both clocks the program reads. The local time feeds the texts the user
// sees; the monotonic time times the answer's one-second steps, so that
// midnight or a clock set back never stretches a step.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Local() const = 0;
  virtual std::int64_t MonotonicNanoseconds() const = 0;
};

}  // namespace quorvane
