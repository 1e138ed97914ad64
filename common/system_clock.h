#pragma once

#include "common/clock.h"

namespace quorvane {

// The machine's clocks: local time from the C library's time zone rules,
// monotonic time from std::chrono::steady_clock.
class SystemClock final : public Clock {
 public:
  LocalTime Local() const override;
  std::int64_t MonotonicNanoseconds() const override;
};

}  // namespace quorvane
