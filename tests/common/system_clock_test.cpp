// The machine's clock read as local time: the texts must show the time of
// the zone the machine is set to, now, not UTC and not the zone of an
// earlier reading. The zones are POSIX rules, which need no zone database,
// so a missing one cannot quietly turn them into UTC.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "common/clock_text.h"
#include "common/local_time_of.h"
#include "common/system_clock.h"

namespace quorvane {
namespace {

class TimeZone {
 public:
  explicit TimeZone(const char* rule) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadOne_ = true;
    Set(rule);
  }
  ~TimeZone() { hadOne_ ? Set(saved_.c_str()) : (unsetenv("TZ"), tzset()); }
  static void Set(const char* rule) {
    setenv("TZ", rule, 1);
    tzset();
  }

 private:
  std::string saved_;
  bool hadOne_ = false;
};

// UTC now, moved by a fixed offset, worked out without the C library's zone
// rules: what a correct local reading must show.
LocalTime UtcPlus(int offsetMinutes) {
  const std::time_t shifted = std::time(nullptr) + offsetMinutes * 60;
  std::tm utc{};
  gmtime_r(&shifted, &utc);
  return LocalTimeOf(utc);
}

// Seconds between two readings' texts, for readings taken close together.
long long SecondsApart(const LocalTime& a, const LocalTime& b) {
  std::tm ta{}, tb{};
  ta.tm_year = a.year - 1900, ta.tm_mon = a.month - 1, ta.tm_mday = a.day;
  ta.tm_hour = a.hour, ta.tm_min = a.minute, ta.tm_sec = a.second;
  tb.tm_year = b.year - 1900, tb.tm_mon = b.month - 1, tb.tm_mday = b.day;
  tb.tm_hour = b.hour, tb.tm_min = b.minute, tb.tm_sec = b.second;
  return static_cast<long long>(timegm(&ta) - timegm(&tb));
}

TEST(SystemClock, ShowsTheLocalTimeOfZonesFarFromUtc) {
  // POSIX rules count west of Greenwich as positive: "<+14>-14" is UTC+14.
  const struct {
    const char* rule;
    int offsetMinutes;
  } zones[] = {{"<+14>-14", 14 * 60},
               {"<-11>11", -11 * 60},
               {"<+0530>-5:30", 5 * 60 + 30},
               {"<+0545>-5:45", 5 * 60 + 45}};
  for (const auto& zone : zones) {
    TimeZone tz(zone.rule);
    const LocalTime shown = SystemClock().Local();
    const LocalTime expected = UtcPlus(zone.offsetMinutes);
    // Month and day counted from 1: the texts of both readings agree, save
    // a second boundary crossed between them.
    EXPECT_LE(std::llabs(SecondsApart(shown, expected)), 1)
        << zone.rule << ": shown " << DateText(shown) << " " << TimeText(shown) << ", expected "
        << DateText(expected) << " " << TimeText(expected);
  }
}

TEST(SystemClock, FollowsAChangeOfTheZoneWhileRunning) {
  TimeZone tz("<+14>-14");
  const SystemClock clock;
  const LocalTime before = clock.Local();
  // The zone changes under the running program, as when the administrator
  // sets another one, and nobody tells the C library: the next reading
  // must be in the new zone all the same.
  setenv("TZ", "<-10>10", 1);
  const LocalTime after = clock.Local();
  EXPECT_NEAR(static_cast<double>(SecondsApart(before, after)), 24 * 3600.0, 2.0)
      << TimeText(before) << " then " << TimeText(after);
}

}  // namespace
}  // namespace quorvane
