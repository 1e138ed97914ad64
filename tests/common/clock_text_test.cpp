#include "common/clock_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "common/system_clock.h"

namespace quorvane {
namespace {

TEST(ClockText, FixedWidthWithLeadingZerosOnA24HourClock) {
  const LocalTime t{2027, 1, 2, 3, 4, 5, 0};
  EXPECT_EQ(DateText(t), "01-02-2027");
  EXPECT_EQ(TimeText(t), "03:04:05");
  const LocalTime evening{1999, 12, 31, 23, 59, 59, 999'999'999};
  EXPECT_EQ(DateText(evening), "12-31-1999");
  EXPECT_EQ(TimeText(evening), "23:59:59");
}

TEST(ClockText, OutOfRangeFieldsNeverWidenTheTexts) {
  const LocalTime t{123456, 13, 40, 25, 61, 61, 0};
  EXPECT_EQ(DateText(t).size(), 10u);
  EXPECT_EQ(TimeText(t).size(), 8u);
}

TEST(ClockText, SystemTextsIgnoreTheLocale) {
  // A locale with another date order must not change the texts.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const LocalTime now = SystemClock().Local();
  const std::string date = DateText(now);
  const std::string time = TimeText(now);
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(date.size(), 10u);
  EXPECT_EQ(date[2], '-');
  EXPECT_EQ(date[5], '-');
  EXPECT_EQ(std::atoi(date.substr(0, 2).c_str()), now.month);
  ASSERT_EQ(time.size(), 8u);
  EXPECT_EQ(time[2], ':');
  EXPECT_EQ(std::atoi(time.substr(0, 2).c_str()), now.hour);
}

}  // namespace
}  // namespace quorvane
