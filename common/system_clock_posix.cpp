#include <time.h>

#include "common/monotonic_clock.h"
#include "common/system_clock.h"

namespace quorvane {

LocalTime SystemClock::Local() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // The C library reads the time zone once and keeps it; tzset() looks
  // again (at TZ, or at /etc/localtime when it has changed), so a request
  // answered after the machine's zone was changed shows the new zone's time.
  tzset();
  tm local{};
  localtime_r(&now.tv_sec, &local);
  LocalTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second
  t.nanosecond = static_cast<int>(now.tv_nsec);
  return t;
}

std::int64_t SystemClock::MonotonicNanoseconds() const { return quorvane::MonotonicNanoseconds(); }

}  // namespace quorvane
