#pragma once

#include <string>

#include "common/clock.h"

namespace quorvane {

// "MM-DD-YYYY", whatever the locale.
std::string DateText(const LocalTime& t);

// "hh:mm:ss" on the 24-hour clock, whatever the locale.
std::string TimeText(const LocalTime& t);

// The local time of day in seconds, with its fraction: 0 <= s < 86400.
float SecondsSinceMidnight(const LocalTime& t);

}  // namespace quorvane
