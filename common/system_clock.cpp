#include "common/system_clock.h"

#include <chrono>
#include <ctime>

namespace quorvane {

LocalTime SystemClock::Local() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
#if defined(_WIN32)
  localtime_s(&tm, &seconds);
#else
  localtime_r(&seconds, &tm);
#endif
  const auto sinceEpoch = now.time_since_epoch();
  const auto fraction =
      sinceEpoch - std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  t.nanosecond = static_cast<int>(std::chrono::duration_cast<std::chrono::nanoseconds>(fraction).count());
  if (t.nanosecond < 0) t.nanosecond = 0;  // times before the epoch
  return t;
}

std::int64_t SystemClock::MonotonicNanoseconds() const {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace quorvane
