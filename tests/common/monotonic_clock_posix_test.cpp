// The raw clock read onto the monotonic one: how a Windows program's stamps
// under Wine, taken on CLOCK_MONOTONIC_RAW, are compared with ours.
#include <time.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "common/monotonic_clock.h"

namespace quorvane {
namespace {

std::int64_t RawNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

TEST(MonotonicClock, RawStampPlusTheOffsetIsTheMonotonicTime) {
  // The two clocks may lie far apart after a long uptime (hundreds of ms
  // seen); moved by the offset, a raw stamp lands within a few ms of a
  // monotonic reading taken beside it, even on a loaded machine.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::int64_t raw = RawNanoseconds();
    const std::int64_t monotonic = MonotonicNanoseconds();
    const std::int64_t onto = raw + MonotonicAheadOfRawNanoseconds();
    if (std::llabs(onto - monotonic) < 5'000'000) return;
  }
  FAIL() << "a raw stamp moved by the offset is not the monotonic time";
}

}  // namespace
}  // namespace quorvane
