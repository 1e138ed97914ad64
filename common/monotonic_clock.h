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

// How far CLOCK_MONOTONIC is ahead of CLOCK_MONOTONIC_RAW, the hardware
// clock without NTP's slewing: what a stamp taken on the raw clock needs
// added to compare with MonotonicNanoseconds(). A Windows program under Wine
// stamps on the raw clock (Wine's QueryPerformanceCounter reads it). The
// two drift apart by at most half a millisecond a second, so it is read
// afresh where stamps are compared. Zero on Windows, which has one clock.
std::int64_t MonotonicAheadOfRawNanoseconds();

}  // namespace quorvane
