#include <time.h>

#include "common/monotonic_clock.h"

namespace quorvane {

namespace {

std::int64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

std::int64_t MonotonicNanoseconds() { return Nanoseconds(CLOCK_MONOTONIC); }

std::int64_t MonotonicAheadOfRawNanoseconds() {
  // The raw reading between two monotonic ones, against their middle.
  const std::int64_t before = Nanoseconds(CLOCK_MONOTONIC);
  const std::int64_t raw = Nanoseconds(CLOCK_MONOTONIC_RAW);
  const std::int64_t after = Nanoseconds(CLOCK_MONOTONIC);
  return before + (after - before) / 2 - raw;
}

}  // namespace quorvane
