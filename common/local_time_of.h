#pragma once

// The C library's broken-down time as the program's LocalTime.

#include <ctime>

#include "common/clock.h"

namespace quorvane {

inline LocalTime LocalTimeOf(const std::tm& fields, int nanosecond = 0) {
  LocalTime t;
  t.year = fields.tm_year + 1900;
  t.month = fields.tm_mon + 1;
  t.day = fields.tm_mday;
  t.hour = fields.tm_hour;
  t.minute = fields.tm_min;
  t.second = fields.tm_sec > 59 ? 59 : fields.tm_sec;  // a leap second
  t.nanosecond = nanosecond;
  return t;
}

}  // namespace quorvane
