#pragma once

#include <string>

#include "common/clock.h"

namespace quorvane {

// "MM-DD-YYYY", whatever the locale.
std::string DateText(const LocalTime& t);

// "hh:mm:ss" on the 24-hour clock, whatever the locale.
std::string TimeText(const LocalTime& t);

}  // namespace quorvane
