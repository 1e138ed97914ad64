// The time of day the simulated port's tool dates port accesses by.
#include "bench/common/seconds_since_midnight.h"

#include <gtest/gtest.h>

namespace quorvane::bench_common {
namespace {

TEST(SecondsSinceMidnight, KeepsTheFractionAndStaysBelowADay) {
  EXPECT_FLOAT_EQ(SecondsSinceMidnight({2026, 1, 1, 0, 0, 0, 0}), 0.0f);
  EXPECT_FLOAT_EQ(SecondsSinceMidnight({2026, 1, 1, 1, 2, 3, 500'000'000}), 3723.5f);
  EXPECT_LT(SecondsSinceMidnight({2026, 1, 1, 23, 59, 59, 999'999'999}), 86400.0f);
  // Fields out of range are clamped, never carried into another day.
  EXPECT_LT(SecondsSinceMidnight({2026, 1, 1, 25, 61, 61, 2'000'000'000}), 86400.0f);
}

}  // namespace
}  // namespace quorvane::bench_common
