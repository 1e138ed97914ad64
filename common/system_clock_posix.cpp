#include <time.h>

#include "common/local_time_of.h"
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
  return LocalTimeOf(local, static_cast<int>(now.tv_nsec));
}

std::int64_t SystemClock::MonotonicNanoseconds() const { return quorvane::MonotonicNanoseconds(); }

}  // namespace quorvane
