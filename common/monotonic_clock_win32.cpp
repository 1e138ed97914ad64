#include <windows.h>

#include "common/monotonic_clock.h"

namespace quorvane {

namespace {

std::int64_t CounterFrequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);  // never fails on Windows XP and later
  return frequency.QuadPart;
}

}  // namespace

std::int64_t MonotonicNanoseconds() {
  static const std::int64_t frequency = CounterFrequency();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  // Whole seconds and the rest apart, so the product cannot overflow.
  const std::int64_t seconds = counter.QuadPart / frequency;
  const std::int64_t rest = counter.QuadPart % frequency;
  return seconds * 1'000'000'000 + rest * 1'000'000'000 / frequency;
}

std::int64_t MonotonicAheadOfRawNanoseconds() { return 0; }

}  // namespace quorvane
