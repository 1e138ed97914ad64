#pragma once

#include <algorithm>
#include <cmath>

#include "common/clock.h"

namespace quorvane::bench_common {

// The local time of day in seconds, with its fraction: 0 <= s < 86400, out
// of range fields clamped. The simulated port's tool dates port accesses by it.
inline float SecondsSinceMidnight(const LocalTime& t) {
  const double whole =
      std::clamp(t.hour, 0, 23) * 3600.0 + std::clamp(t.minute, 0, 59) * 60.0 + std::clamp(t.second, 0, 59);
  const double seconds = whole + std::clamp(t.nanosecond, 0, 999'999'999) * 1e-9;
  // Single precision can round 86399.99 up to 86400; keep the value below it.
  return std::min(static_cast<float>(seconds), std::nextafter(86400.0f, 0.0f));
}

}  // namespace quorvane::bench_common
