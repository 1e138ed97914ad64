// The machine's sleep on the monotonic clock, in real time with short
// deadlines: never back before the deadline, at once for one passed.
#include "common/system_sleeper.h"

#include <gtest/gtest.h>

#include "common/monotonic_clock.h"

namespace quorvane {
namespace {

TEST(SystemSleeper, SleepsToTheDeadlineAndNeverReturnsBeforeIt) {
  const auto sleeper = MakeSystemSleeper();
  sleeper->BeginPreciseSleeps();
  for (const std::int64_t aheadNs : {1'000'000, 7'000'000, 20'000'000}) {
    SCOPED_TRACE(aheadNs);
    const std::int64_t deadline = MonotonicNanoseconds() + aheadNs;
    sleeper->SleepUntil(deadline);
    const std::int64_t woke = MonotonicNanoseconds();
    EXPECT_GE(woke, deadline);
    // A loaded machine may wake it late, but not by a whole second.
    EXPECT_LT(woke - deadline, 1'000'000'000);
  }
  sleeper->EndPreciseSleeps();
}

TEST(SystemSleeper, ADeadlinePassedReturnsAtOnce) {
  const auto sleeper = MakeSystemSleeper();
  const std::int64_t before = MonotonicNanoseconds();
  sleeper->SleepUntil(before - 1'000'000'000);
  sleeper->SleepUntil(0);
  EXPECT_LT(MonotonicNanoseconds() - before, 500'000'000);
}

}  // namespace
}  // namespace quorvane
