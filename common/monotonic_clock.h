#pragma once

#include <cstdint>

namespace quorvane {

// Nanoseconds of the machine's monotonic clock: it never steps, whatever is
// done to the wall clock, and every process on the machine reads the same
// one, so timestamps taken in one process can be compared in another.
// CLOCK_MONOTONIC on Linux, QueryPerformanceCounter on Windows; the compiler
// runtime's steady_clock is not used, since some mingw-w64 variants build it
// on the wall clock.
std::int64_t MonotonicNanoseconds();

}  // namespace quorvane
