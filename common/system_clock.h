#pragma once

#include "common/clock.h"

namespace quorvane {

// The machine's clocks: local time as the system shows it now,
// monotonic time from MonotonicNanoseconds().
class SystemClock final : public Clock {
 public:
  LocalTime Local() const override;
  std::int64_t MonotonicNanoseconds() const override;
};

}  // namespace quorvane
