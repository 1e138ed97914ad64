#include <windows.h>

#include "common/monotonic_clock.h"
#include "common/system_clock.h"

namespace quorvane {

LocalTime SystemClock::Local() const {
  // The system's own local time: it follows a change of the time zone at
  // once, and the C runtime's TZ rules play no part.
  SYSTEMTIME local;
  GetLocalTime(&local);
  LocalTime t;
  t.year = local.wYear;
  t.month = local.wMonth;
  t.day = local.wDay;
  t.hour = local.wHour;
  t.minute = local.wMinute;
  t.second = local.wSecond > 59 ? 59 : local.wSecond;
  t.nanosecond = local.wMilliseconds * 1'000'000;
  return t;
}

std::int64_t SystemClock::MonotonicNanoseconds() const { return quorvane::MonotonicNanoseconds(); }

}  // namespace quorvane
