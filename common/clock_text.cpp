#include "common/clock_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvane {

namespace {

// Clamp so a malformed time can never widen the fixed-width texts.
int Clamp(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

}  // namespace

std::string DateText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", Clamp(t.month, 1, 12), Clamp(t.day, 1, 31),
                Clamp(t.year, 0, 9999));
  return text;
}

std::string TimeText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", Clamp(t.hour, 0, 23), Clamp(t.minute, 0, 59),
                Clamp(t.second, 0, 59));
  return text;
}

float SecondsSinceMidnight(const LocalTime& t) {
  const double whole = Clamp(t.hour, 0, 23) * 3600.0 + Clamp(t.minute, 0, 59) * 60.0 +
                       Clamp(t.second, 0, 59);
  const double seconds = whole + Clamp(t.nanosecond, 0, 999'999'999) * 1e-9;
  // Single precision can round 86399.99 up to 86400; keep the value below it.
  return std::min(static_cast<float>(seconds), std::nextafter(86400.0f, 0.0f));
}

}  // namespace quorvane
